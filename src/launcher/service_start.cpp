#include "launcher/service_start.h"

#include "launcher/launcher.h"
#include "launcher/system_host.h"
#include "platform/named_mutex.h"
#include "platform/service_control.h"
#include "service/service.h"
#include "settings/settings.h"

namespace {

// The start-up sequence as the service runs it, the first time with
// tavrin.ini as the entry point read it (null: none could be read, which the
// start tells).
class LauncherStart final : public ServiceStart {
public:
    explicit LauncherStart(const SettingsFile* a_settingsFile) : m_settingsFile(a_settingsFile) {}

    // A restart reads tavrin.ini anew: it may have changed since.
    int run(ServiceSide& a_side, const std::vector<std::wstring>& a_arguments) override {
        NamedMutex singleRunMutex;
        SystemHost host;
        const SettingsFile* const settingsFile = m_settingsFile;
        m_settingsFile = nullptr;
        return runLauncher(host, singleRunMutex, a_arguments, LauncherKind::service, &a_side,
                           settingsFile);
    }

private:
    const SettingsFile* m_settingsFile;
};

} // namespace

std::optional<int> startAsService(const SettingsFile* a_settingsFile,
                                  const std::vector<std::wstring>& a_launcherArguments) {
    // Known by its parent, whatever the settings say: a start that cannot
    // read them still reports to the control manager.
    if (!startedByServiceManager()) {
        return std::nullopt;
    }
    LauncherStart start(a_settingsFile);
    return runAsService(a_settingsFile ? readServiceName(*a_settingsFile) : std::wstring(),
                        a_launcherArguments, start);
}
