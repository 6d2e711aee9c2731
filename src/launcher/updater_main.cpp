#include "launcher/system_host.h"
#include "platform/command_line.h"
#include "update/updater.h"

#include <windows.h>

// The updater, tavrin-update.exe: a program without windows, started by a
// launcher for one step. Its console, when the launcher had one, is the
// launcher's, so that the new version a console launcher hands over to
// writes where the old one would have.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    AttachConsole(ATTACH_PARENT_PROCESS); // fails without one: nothing to share
    SystemHost host;
    const std::optional<int> exitCode =
        runUpdaterStep(host, argumentsAfterProgram(GetCommandLineW()));
    return exitCode ? *exitCode : 2; // started by a person: nothing to do
}
