// For fuzz targets whose parser reads a data file: writes the fuzzer's bytes to a file of
// this process's own in the temporary folder and names it as the program would.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/TextConvert.h"

namespace tavopix::fuzzing {

inline std::u16string WriteDataFile(const char* name, const std::uint8_t* data, std::size_t size) {
    const std::string path = "/tmp/tavopix-fuzz-" + std::to_string(::getpid()) + "-" + name;
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        if (size > 0) {
            std::fwrite(data, 1, size, file);
        }
        std::fclose(file);
    }
    return FromUtf8(path);
}

}  // namespace tavopix::fuzzing
