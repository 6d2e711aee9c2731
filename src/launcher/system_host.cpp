#include "launcher/launcher_host.h"

#include "launcher/installed_java.h"
#include "launcher/messages.h"

#include "platform/console.h"
#include "platform/folder_dialog.h"
#include "platform/system_library.h"
#include "process/process_executor.h"

int SystemHost::showMessage(const std::wstring& a_text, const wchar_t* a_caption, UINT a_flags) {
    const auto show = systemFunction<decltype(MessageBoxW)>(L"user32.dll", "MessageBoxW");
    // 0, as MessageBoxW answers when it cannot show the box.
    return show != nullptr ? show(nullptr, a_text.c_str(), a_caption, a_flags) : 0;
}

std::wstring SystemHost::chooseJavaFolder() {
    return browseForJavaFolder(messages::javaFolderDialogTitle);
}

std::vector<std::wstring> SystemHost::installedJavaRuntimes() {
    return findInstalledJavaRuntimes();
}

ProcessResult SystemHost::runProcess(const ProcessRequest& a_request) {
    return executeProcess(a_request);
}

int ConsoleHost::showMessage(const std::wstring& a_text, const wchar_t*, UINT) {
    writeStandardError(a_text + L"\r\n");
    return IDOK; // nothing is asked: the launcher acts as if OK was pressed
}

std::wstring ConsoleHost::chooseJavaFolder() {
    return std::wstring(); // as if cancelled
}
