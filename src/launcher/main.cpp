#include "launcher/launcher.h"
#include "launcher/service_start.h"
#include "launcher/system_host.h"
#include "platform/command_line.h"
#include "platform/named_mutex.h"
#include "settings/settings.h"

#include <windows.h>

// The settings file decides what is run; the launcher's own arguments reach
// the application only when the settings pass them on.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::vector<std::wstring> arguments = argumentsAfterProgram(GetCommandLineW());
    // Read once: by the service, or by the plain start.
    const std::optional<SettingsFile> settingsFile = loadLaunchersSettingsFile();
    const SettingsFile* settings = settingsFile ? &*settingsFile : nullptr;
    if (const std::optional<int> exitCode = startAsService(settings, arguments)) {
        return *exitCode;
    }
    NamedMutex singleRunMutex; // released on the way out
    SystemHost host;
    return runLauncher(host, singleRunMutex, arguments, LauncherKind::windowed, nullptr, settings);
}
