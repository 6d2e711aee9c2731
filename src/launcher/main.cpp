#include "launcher/exit_codes.h"
#include "launcher/launcher.h"
#include "launcher/launcher_host.h"
#include "platform/command_line.h"

#include <windows.h>

// The settings file decides what is run; the launcher's own arguments reach
// the application only when the settings pass them on.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Released on the way out, also when a failure passes through.
    SingleInstanceMutex singleInstanceMutex;
    try {
        SystemHost host;
        return runLauncher(host, singleInstanceMutex, argumentsAfterProgram(GetCommandLineW()));
    } catch (...) {
        // Only an exhausted heap can end up here.
        return exit_codes::unexpectedFailure;
    }
}
