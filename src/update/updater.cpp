#include "update/updater.h"

#include "update/update_check.h"
#include "update/update_folder.h"
#include "update/update_install.h"

std::optional<int> runUpdaterStep(LauncherHost& a_host,
                                  const std::vector<std::wstring>& a_arguments) {
    if (a_arguments.empty()) {
        return std::nullopt;
    }
    const std::vector<std::wstring> rest(a_arguments.begin() + 1, a_arguments.end());
    if (a_arguments.front() == updateCheckStep) {
        return runUpdateCheck(rest);
    }
    if (a_arguments.front() == updateInstallStep) {
        return runUpdateInstall(a_host, rest);
    }
    return std::nullopt;
}
