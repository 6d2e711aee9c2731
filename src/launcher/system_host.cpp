#include "launcher/system_host.h"

#include "platform/console.h"
#include "platform/folder_dialog.h"
#include "platform/system_library.h"
#include "platform/window_system.h"
#include "process/process_executor.h"
#include "runtime/installed_java.h"

#include <windows.h>

#include <shellapi.h>

int SystemHost::showMessage(const std::wstring& a_text, const wchar_t* a_caption, UINT a_flags) {
    const auto show = systemFunction<decltype(MessageBoxW)>(L"user32.dll", "MessageBoxW");
    // 0, as MessageBoxW answers when it cannot show the box.
    return show != nullptr ? show(nullptr, a_text.c_str(), a_caption, a_flags) : 0;
}

std::wstring SystemHost::chooseJavaFolder(const std::wstring& a_title) {
    return browseForJavaFolder(a_title.c_str());
}

void SystemHost::openAddress(const std::wstring& a_address) {
    const auto open = systemFunction<decltype(ShellExecuteW)>(L"shell32.dll", "ShellExecuteW");
    if (open != nullptr) {
        // Nothing more to do when the browser does not come up.
        open(nullptr, L"open", a_address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
}

std::vector<std::wstring> SystemHost::installedJavaRuntimes() {
    return findInstalledJavaRuntimes();
}

ProcessResult SystemHost::runProcess(const ProcessRequest& a_request) {
    return executeProcess(a_request);
}

void SystemHost::handOverForeground(DWORD a_processId, bool a_launcherWaits) {
    allowForeground(a_processId);
    if (a_launcherWaits) {
        endStartupCursor();
    }
}

bool SystemHost::activateWindowOf(DWORD a_processId) {
    return bringWindowForward(a_processId);
}

std::wstring SystemHost::loadJavaLauncher(const std::wstring& a_javaExecutable,
                                          const std::wstring& a_streamsBaseName) {
    return m_inProcess.prepare(a_javaExecutable, a_streamsBaseName);
}

int SystemHost::runJavaLauncher(const std::vector<std::wstring>& a_arguments,
                                const std::wstring& a_programName, bool a_javaw) {
    return m_inProcess.run(a_arguments, a_programName, a_javaw);
}

int ConsoleHost::showMessage(const std::wstring& a_text, const wchar_t*, UINT) {
    writeStandardError(a_text + L"\r\n");
    return IDOK; // nothing is asked: the launcher acts as if OK was pressed
}

std::wstring ConsoleHost::chooseJavaFolder(const std::wstring&) {
    return std::wstring(); // as if cancelled
}
