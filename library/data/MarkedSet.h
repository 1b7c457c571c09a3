// The pictures the user marked in the grid, by stored path, in plain UTF-16 code-unit order. The
// set lives in memory for the run of the program only.
//
// The UI thread changes it; the folder listing worker asks Contains for every picture it lists
// meanwhile, so every access takes the set's own lock.
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tavopix {

class MarkedSet {
public:
    // Adds the path when it is absent, removes it otherwise; true when it is now marked.
    bool Toggle(std::u16string_view path);
    // Removes the path; false when it was not marked.
    bool Remove(std::u16string_view path);
    bool Contains(std::u16string_view path) const;
    unsigned Count() const;
    // A copy of the paths in set order, for the view of the marked pictures.
    std::vector<std::u16string> Paths() const;

    // The count display text: "(3)" for three marked pictures.
    static std::u16string CountText(unsigned count);

private:
    mutable std::mutex mutex_;
    std::set<std::u16string, std::less<>> paths_;
};

}  // namespace tavopix
