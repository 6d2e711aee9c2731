#include "launcher/exit_codes.h"
#include "launcher/launcher.h"
#include "launcher/launcher_host.h"

#include <windows.h>

// The launcher ignores its own command line: the settings file alone decides
// what is run.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Released on the way out, also when a failure passes through.
    SingleInstanceMutex singleInstanceMutex;
    try {
        SystemHost host;
        return runLauncher(host, singleInstanceMutex);
    } catch (...) {
        // Only an exhausted heap can end up here.
        return exit_codes::unexpectedFailure;
    }
}
