#include "launcher/launcher.h"
#include "launcher/service_start.h"
#include "launcher/system_host.h"
#include "platform/command_line.h"
#include "platform/console.h"
#include "platform/named_mutex.h"
#include "settings/settings.h"

#include <windows.h>

// The console launcher: the same settings and start-up sequence, for
// command-line applications.
int wmain() {
    // Ctrl+C, Ctrl+Break and closing the console reach the application too,
    // which shares the console and handles them as it would without a
    // launcher; the launcher stays, to end with the application's exit code.
    // (It fails only for a handler that is not a function: nothing to do.)
    outlastConsoleEvents();
    const std::vector<std::wstring> arguments = argumentsAfterProgram(GetCommandLineW());
    // Read once: by the service, or by the plain start.
    const std::optional<SettingsFile> settingsFile = loadLaunchersSettingsFile();
    const SettingsFile* settings = settingsFile ? &*settingsFile : nullptr;
    if (const std::optional<int> exitCode = startAsService(settings, arguments)) {
        return *exitCode;
    }
    NamedMutex singleRunMutex; // released on the way out
    ConsoleHost host;
    return runLauncher(host, singleRunMutex, arguments, LauncherKind::console, nullptr, settings);
}
