// For fuzz targets whose parser reads a data file: the fuzzer's bytes as a file of this
// process's own, named as the program would name it. The file lives in memory (/dev/shm) where
// there is one, since every save flushes the file to its disk.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/TextConvert.h"

namespace tavopix::fuzzing {

inline std::string DataFileName(const char* name) {
    static const std::string folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/";
    return folder + "tavopix-fuzz-" + std::to_string(::getpid()) + "-" + name;
}

// Writes the bytes to the file and returns its path; the file stays for the next input.
inline std::u16string WriteDataFile(const char* name, const std::uint8_t* data, std::size_t size) {
    const std::string path = DataFileName(name);
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        if (size > 0) {
            std::fwrite(data, 1, size, file);
        }
        std::fclose(file);
    }
    return FromUtf8(path);
}

// The same file, removed again when the input is done.
class DataFile {
public:
    DataFile(const char* name, const std::uint8_t* data, std::size_t size)
        : path_(WriteDataFile(name, data, size)) {}
    ~DataFile() { std::remove(Utf8(path_).c_str()); }
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;

    const std::u16string& path() const { return path_; }

private:
    std::u16string path_;
};

}  // namespace tavopix::fuzzing
