// The program's entry point.
#include "app/startup/Startup.h"
#include "platform/Window.h"

int main() {
    return tavopix::RunProgram(tavopix::SW_SHOWNORMAL);
}
