#include "update/update_install.h"

#include "host/launcher_host.h"
#include "messages/start_log.h"
#include "platform/command_line.h"
#include "platform/crypto.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/unique_handle.h"
#include "settings/settings.h"
#include "update/update_folder.h"

namespace {

// How long the updater waits for the launcher that handed the update over
// to end, before it installs all the same.
constexpr DWORD launcherEndMs = 30000;

// msiexec's successes: done, and done with a restart asked for or started.
bool installed(DWORD a_exitCode) {
    return a_exitCode == ERROR_SUCCESS || a_exitCode == ERROR_SUCCESS_REBOOT_REQUIRED ||
           a_exitCode == ERROR_SUCCESS_REBOOT_INITIATED;
}

std::wstring sha256OfFile(HANDLE a_file) {
    Sha256 digest;
    std::string chunk(64 * 1024, '\0');
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(a_file, chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr)) {
            return std::wstring();
        }
        if (read == 0) {
            return hexOfBytes(digest.finish());
        }
        digest.add(chunk.data(), read);
    }
}

// A handle's value in the updater's command line; 0 for none.
std::wstring handleValue(HANDLE a_handle) {
    return formatWideString(L"%llu",
                            static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(a_handle)));
}

// A handle the launcher passed, by its value in the command line.
UniqueHandle passedHandle(const std::wstring& a_value) {
    return UniqueHandle(
        reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(leadingNumber(a_value.c_str()))));
}

// msiexec with the staged package, waited for; its exit code.
DWORD runInstaller(LauncherHost& a_host, const UpdateFolder& a_folder,
                   const StagedUpdate& a_staged) {
    ProcessRequest request;
    request.commandLine = quotedProgram(systemFolder() + L"msiexec.exe") + L" /i " +
                          quotedArgument(a_folder.file(a_staged.package)) +
                          (a_staged.perMachine ? L" /passive" : L" /qn") + L" /norestart";
    request.baseName = a_folder.file(L"install");
    request.workingDirectory = a_folder.file(L"");
    request.wait = true;
    const ProcessResult ran = a_host.runProcess(request);
    return ran.code == ProcessCode::succeeded ? ran.exitCode : ERROR_INSTALL_FAILURE;
}

// The staged package installed, or its failure marked; the log says which.
void install(LauncherHost& a_host, const UpdateFolder& a_folder, StartLog& a_log) {
    const std::optional<StagedUpdate> staged = a_folder.staged();
    if (!staged) {
        a_log.line(L"update: nothing is staged");
        return;
    }
    // Nobody may change it between this check and msiexec's read.
    UniqueFile package(CreateFileW(a_folder.file(staged->package).c_str(), GENERIC_READ,
                                   FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                   nullptr));
    if (!package || sha256OfFile(package.get()) != staged->sha256) {
        a_log.line(L"update: refused: the staged " + staged->package +
                   L" is not the package the feed named");
    } else if (const DWORD exitCode = runInstaller(a_host, a_folder, *staged);
               installed(exitCode)) {
        a_log.line(formatWideString(L"update: %ls installed (msiexec ended with %lu)",
                                    staged->version.c_str(), exitCode));
    } else {
        a_folder.markFailed(staged->version);
        a_log.line(formatWideString(L"update: the install of %ls failed (msiexec ended with "
                                    L"%lu): the installed version starts as before, and %ls is "
                                    L"not tried again",
                                    staged->version.c_str(), exitCode, staged->version.c_str()));
    }
    package.reset();
    a_folder.unstage(*staged);
}

} // namespace

std::optional<int> handOverStagedUpdate(LauncherHost& a_host, const LauncherSettings& a_settings,
                                        const UpdateHandOver& a_handOver, StartLog& a_log) {
    const UpdateFolder folder = UpdateFolder::of(a_settings);
    if (!a_settings.update.active() || !folder.exists() || !folder.hasStaged()) {
        return std::nullopt;
    }
    const std::wstring updater = folder.placeUpdater();
    // The updater waits for this process's end, and keeps the single-run
    // rule while it installs.
    const UniqueHandle self(OpenProcess(SYNCHRONIZE, TRUE, GetCurrentProcessId()));
    const UniqueHandle mutex = inheritableCopy(a_handOver.singleRunMutex);
    ProcessRequest request;
    request.commandLine = quotedProgram(updater) + L" " + updateInstallStep + L" " +
                          quotedArgument(executablePath()) + L" " +
                          quotedArgument(a_handOver.callersFolder) + L" " +
                          handleValue(self.get()) + L" " + handleValue(mutex.get());
    for (const std::wstring& argument : a_handOver.arguments) {
        request.commandLine += L" " + quotedArgument(argument);
    }
    request.inheritStreams = true;
    request.passedHandles[0] = self.get();
    request.passedHandles[1] = mutex.get();
    request.workingDirectory = folder.file(L"");
    ProcessResult started;
    started.code = ProcessCode::notStarted;
    if (!updater.empty() && self) {
        started = a_host.runProcess(request);
    }
    if (started.code != ProcessCode::succeeded) {
        a_log.line(L"update: a package is staged, but the updater cannot start in " +
                   folder.file(L"") + L": the installed version starts");
        return std::nullopt;
    }
    // The user started this launcher: the new version's window may come to
    // the front, by way of the updater.
    a_host.handOverForeground(started.processId, false);
    a_log.line(L"update: a package is staged: the updater installs it; its log: " +
               folder.logPath());
    return a_log.end(0, L"an update is installed: the updater starts the new version");
}

int runUpdateInstall(LauncherHost& a_host, const std::vector<std::wstring>& a_arguments) {
    const UpdateFolder folder(moduleRelativePath(L""));
    StartLog log(folder.logPath());
    if (a_arguments.size() < 4) {
        return log.end(0, L"the updater's install needs the launcher's path, a folder and two "
                          L"handles");
    }
    const UniqueHandle launcher = passedHandle(a_arguments[2]);
    UniqueHandle singleRun = passedHandle(a_arguments[3]);
    // Nothing may hold the application's files while msiexec replaces them.
    if (launcher && WaitForSingleObject(launcher.get(), launcherEndMs) != WAIT_OBJECT_0) {
        log.line(L"update: the launcher did not end: the install goes on");
    }
    install(a_host, folder, log);
    singleRun.reset(); // the new start takes the rule
    ProcessRequest request;
    request.commandLine = quotedProgram(a_arguments[0]);
    for (std::size_t index = 4; index < a_arguments.size(); ++index) {
        request.commandLine += L" " + quotedArgument(a_arguments[index]);
    }
    request.inheritStreams = true;
    request.workingDirectory = a_arguments[1];
    const ProcessResult started = a_host.runProcess(request);
    if (started.code == ProcessCode::succeeded) {
        a_host.handOverForeground(started.processId, false);
    }
    log.line(started.code == ProcessCode::succeeded
                 ? formatWideString(L"update: %ls started, process %lu", a_arguments[0].c_str(),
                                    started.processId)
                 : L"update: " + a_arguments[0] + L" did not start (" +
                       systemErrorText(started.systemError) + L")");
    return log.end(0, L"the install ended");
}
