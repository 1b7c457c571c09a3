// The program's entry point.
#include "platform/Window.h"
#include "startup/Startup.h"

int main() {
    return tavopix::RunProgram(tavopix::SW_SHOWNORMAL);
}
