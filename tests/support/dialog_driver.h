#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Finds the dialogs another thread or process shows, reads them and answers
// them as a user would: message boxes and the shell's folder dialog.
namespace dialog_driver {

struct MessageBoxView {
    std::wstring caption;
    std::wstring text;
    std::vector<std::wstring> buttons; // in the box's order, e.g. "&Abort"
    bool showsIcon = false;
};

// The first visible dialog window (class #32770) of process a_processId that
// is not a_ignored, waiting up to a_timeoutMs; null when none came, or when
// a_stopWhenSignalled (a process handle, say) is signalled first.
HWND waitForDialog(DWORD a_processId, DWORD a_timeoutMs, HANDLE a_stopWhenSignalled = nullptr,
                   HWND a_ignored = nullptr);

bool isFolderDialog(HWND a_dialog);
// Whether the dialog has a visible edit box (the folder dialog's BIF_EDITBOX).
bool hasEditBox(HWND a_dialog);
MessageBoxView readMessageBox(HWND a_box);

// Presses a button by its command id (IDOK, IDRETRY, IDCANCEL...).
void press(HWND a_dialog, int a_commandId);

// The folder dialog's caption and the title shown above its tree.
std::wstring windowText(HWND a_window);
std::wstring folderDialogTitle(HWND a_dialog);

// Selects a folder in the dialog's tree, one item name per level from the
// desktop down, e.g. {"My Computer", "(C:)", "apps", "jdk"}: a drive such as
// "(C:)" matches the item whose name holds it, any other name matches
// exactly. Items are recognised by the edit box,
// which shows the selected item's name, so this works across processes.
bool selectFolder(HWND a_dialog, const std::vector<std::wstring>& a_path);

// The item names a path on drive C: has in the folder dialog under Wine.
std::vector<std::wstring> folderDialogPath(const std::wstring& a_windowsPath);

} // namespace dialog_driver
