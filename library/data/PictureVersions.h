// How many times each picture file was changed in place during this run (turned by the rotate
// buttons), by stored path. The page shows pictures by address and the browser keeps what it
// fetched, so a changed picture is shown under an address that carries its version.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace tavopix {

class PictureVersions {
public:
    unsigned Of(std::u16string_view path) const {
        const auto found = versions_.find(path);
        return found == versions_.end() ? 0 : found->second;
    }
    void Bump(std::u16string_view path) { ++versions_[std::u16string(path)]; }

private:
    std::map<std::u16string, unsigned, std::less<>> versions_;
};

}  // namespace tavopix
