// Helpers shared by the browser view's tests: a temporary folder of real files that goes away
// with the test.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace tavopix::test {

class TempFolder {
public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "browser-test-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            ADD_FAILURE() << "no temporary folder";
            return;
        }
        root_ = std::filesystem::canonical(pattern);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::filesystem::path Path(std::string_view relative = {}) const {
        return relative.empty() ? root_ : root_ / std::filesystem::path(relative);
    }

    // Writes `bytes` to `relative`, creating the folders on the way.
    void Write(std::string_view relative, std::string_view bytes) const {
        const std::filesystem::path file = Path(relative);
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
    }

private:
    std::filesystem::path root_;
};

}  // namespace tavopix::test
