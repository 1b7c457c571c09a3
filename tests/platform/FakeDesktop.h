// Stand-ins for the desktop's programs (opener, D-Bus tools) for tests of the shell helpers:
// small scripts put first in PATH that write down how they were called.
#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/ScratchFolder.h"

namespace tavopix::test {

// Detached programs finish on their own time: wait (boundedly) for the file they write.
inline std::string AwaitFile(const ScratchFolder& folder, const std::string& name) {
    for (int i = 0; i < 500 && !PathExists(folder.Path(name + ".done")); ++i) {
        Sleep(10);
    }
    return folder.Read(name);
}

// A stand-in for a desktop program: writes its working folder and then its arguments, one a
// line, to `name` in the folder, and exits with `exitCode`.
inline void FakeProgram(const ScratchFolder& folder, const std::string& program, int exitCode,
                        const std::string& name) {
    std::string out = folder.Path(name);
    std::string script = "#!/bin/sh\nprintf '%s\\n' \"$PWD\" \"$@\" > '" + out + "'\n: > '" + out +
                         ".done'\nexit " + std::to_string(exitCode) + "\n";
    folder.Write(program, script);
    ::chmod(folder.Path(program).c_str(), 0755);
}

// Replaces PATH for one test, so the stand-ins are found instead of the real programs.
class PathVariable {
public:
    explicit PathVariable(const std::string& value) {
        if (const char* old = std::getenv("PATH")) {
            old_ = old;
        }
        ::setenv("PATH", value.c_str(), 1);
    }
    ~PathVariable() { ::setenv("PATH", old_.c_str(), 1); }

private:
    std::string old_;
};

}  // namespace tavopix::test
