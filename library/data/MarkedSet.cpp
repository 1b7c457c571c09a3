#include "library/data/MarkedSet.h"

#include "app/TextConvert.h"

namespace tavopix {

bool MarkedSet::Toggle(std::u16string_view path) {
    const std::lock_guard lock(mutex_);
    if (const auto found = paths_.find(path); found != paths_.end()) {
        paths_.erase(found);
        return false;
    }
    paths_.emplace(path);
    return true;
}

bool MarkedSet::Remove(std::u16string_view path) {
    const std::lock_guard lock(mutex_);
    const auto found = paths_.find(path);
    if (found == paths_.end()) {
        return false;
    }
    paths_.erase(found);
    return true;
}

bool MarkedSet::Contains(std::u16string_view path) const {
    const std::lock_guard lock(mutex_);
    return paths_.find(path) != paths_.end();
}

unsigned MarkedSet::Count() const {
    const std::lock_guard lock(mutex_);
    return static_cast<unsigned>(paths_.size());
}

std::vector<std::u16string> MarkedSet::Paths() const {
    const std::lock_guard lock(mutex_);
    return {paths_.begin(), paths_.end()};
}

std::u16string MarkedSet::CountText(unsigned count) {
    return u"(" + FromUtf8(std::to_string(count)) + u")";
}

}  // namespace tavopix
