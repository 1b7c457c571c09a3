// The program's life: start-up fills AppContext, registers the frame class, starts the browser
// view and the service SDK, loads the SDK's configuration and opens the service session, then
// runs the main window; shut-down releases all of that in a fixed order and opens a downloaded
// update last. Start-up failures are shown in the message box and end the program with 0;
// a failure before the frame class exists goes to stderr and ends it with 2.
#pragma once

#include <string>

namespace tavopix {

// Returns the process exit code: the main window's run result, 0 after a service start-up
// failure, 2 when no window can be shown at all.
int RunProgram(int showCommand);

}  // namespace tavopix
