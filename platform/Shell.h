// Hands documents, folders and web addresses to the desktop. Every program is started detached
// (its own session, no terminal, not a child this process must wait for) and gets its
// arguments as they are: nothing passes through a shell's word splitting or expansion.
#pragma once

#include <string>
#include <vector>

namespace tavopix {

// Starts `argv[0]` (looked up in PATH when it holds no '/') with these arguments, detached,
// with standard input and output on /dev/null and `workingDirectory` as its folder when not
// empty. True when the program was found and started.
bool LaunchDetached(const std::vector<std::string>& argv,
                    const std::string& workingDirectory = std::string());

// Opens a document, folder or web address with the desktop's handler (xdg-open).
bool ShellOpen(const std::string& target, const std::string& workingDirectory = std::string());

// Shows the folder of `file` in the desktop's file manager with the file selected, through the
// file manager's D-Bus interface; opens the folder itself when no file manager answers.
bool ShowInFolder(const std::string& file);

}  // namespace tavopix
