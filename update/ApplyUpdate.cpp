#include "update/ApplyUpdate.h"

#include <cstdio>

#include "platform/Shell.h"
#include "update/UpdateInstaller.h"

namespace tavopix {

void ApplyUpdateAndRestart(const std::string& programDir, const std::string& packagePath) {
    std::string error;
    if (InstallUpdatePackage(programDir, packagePath, error) != InstallResult::Installed)
        std::fprintf(stderr, "更新失败: %s\n", error.c_str());
    if (!LaunchDetached({programDir + "tavopix"}, programDir))
        std::fprintf(stderr, "更新后无法启动 %stavopix\n", programDir.c_str());
}

}  // namespace tavopix
