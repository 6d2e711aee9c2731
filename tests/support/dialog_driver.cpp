#include "dialog_driver.h"

#include <commctrl.h>

namespace dialog_driver {

namespace {

struct Search {
    DWORD processId;
    HWND ignored;
    HWND found;
};

BOOL CALLBACK findDialog(HWND a_window, LPARAM a_search) {
    auto& search = *reinterpret_cast<Search*>(a_search);
    DWORD owner = 0;
    GetWindowThreadProcessId(a_window, &owner);
    wchar_t className[32] = L"";
    GetClassNameW(a_window, className, 32);
    if (owner == search.processId && a_window != search.ignored && IsWindowVisible(a_window) &&
        std::wstring(className) == L"#32770") {
        search.found = a_window;
        return FALSE;
    }
    return TRUE;
}

struct Children {
    std::vector<HWND> windows;
};

BOOL CALLBACK collectChild(HWND a_window, LPARAM a_children) {
    reinterpret_cast<Children*>(a_children)->windows.push_back(a_window);
    return TRUE;
}

std::vector<HWND> childrenOf(HWND a_window) {
    Children children;
    EnumChildWindows(a_window, collectChild, reinterpret_cast<LPARAM>(&children));
    return children.windows;
}

std::wstring classOf(HWND a_window) {
    wchar_t name[64] = L"";
    GetClassNameW(a_window, name, 64);
    return name;
}

HWND childOfClass(HWND a_window, const wchar_t* a_className) {
    for (HWND child : childrenOf(a_window)) {
        if (classOf(child) == a_className) {
            return child;
        }
    }
    return nullptr;
}

HTREEITEM treeItem(HWND a_tree, UINT a_relation, HTREEITEM a_item) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(a_tree, TVM_GETNEXTITEM, a_relation, reinterpret_cast<LPARAM>(a_item)));
}

// Selects a_item and reads its name back from the edit box.
std::wstring selectItem(HWND a_dialog, HWND a_tree, HTREEITEM a_item) {
    SendMessageW(a_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(a_item));
    return windowText(childOfClass(a_dialog, L"Edit"));
}

} // namespace

HWND waitForDialog(DWORD a_processId, DWORD a_timeoutMs, HANDLE a_stopWhenSignalled,
                   HWND a_ignored) {
    const ULONGLONG deadline = GetTickCount64() + a_timeoutMs;
    for (;;) {
        Search search{a_processId, a_ignored, nullptr};
        EnumWindows(findDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            // Let the box finish laying itself out before it is read.
            Sleep(100);
            return search.found;
        }
        if (GetTickCount64() >= deadline ||
            (a_stopWhenSignalled != nullptr &&
             WaitForSingleObject(a_stopWhenSignalled, 0) == WAIT_OBJECT_0)) {
            return nullptr;
        }
        Sleep(20);
    }
}

bool isFolderDialog(HWND a_dialog) {
    return childOfClass(a_dialog, L"SysTreeView32") != nullptr;
}

bool hasEditBox(HWND a_dialog) {
    HWND edit = childOfClass(a_dialog, L"Edit");
    return edit != nullptr && IsWindowVisible(edit);
}

std::wstring windowText(HWND a_window) {
    if (a_window == nullptr) {
        return std::wstring();
    }
    wchar_t text[4096] = L"";
    // WM_GETTEXT is carried across processes, unlike reading the control.
    SendMessageW(a_window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
    return text;
}

MessageBoxView readMessageBox(HWND a_box) {
    MessageBoxView view;
    view.caption = windowText(a_box);
    // A message box's text is the static control with the id 0xFFFF.
    view.text = windowText(GetDlgItem(a_box, 0xFFFF));
    for (HWND child : childrenOf(a_box)) {
        const std::wstring className = classOf(child);
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if (className == L"Button" && IsWindowVisible(child)) {
            view.buttons.push_back(windowText(child));
        } else if (className == L"Static" && (style & SS_TYPEMASK) == SS_ICON &&
                   IsWindowVisible(child)) {
            // The icon control is there in every box; only some hold an icon.
            view.showsIcon = SendMessageW(child, STM_GETICON, 0, 0) != 0;
        }
    }
    return view;
}

void press(HWND a_dialog, int a_commandId) {
    PostMessageW(a_dialog, WM_COMMAND, MAKEWPARAM(a_commandId, BN_CLICKED), 0);
}

std::wstring folderDialogTitle(HWND a_dialog) {
    for (HWND child : childrenOf(a_dialog)) {
        if (classOf(child) == L"Static" && IsWindowVisible(child)) {
            return windowText(child);
        }
    }
    return std::wstring();
}

bool selectFolder(HWND a_dialog, const std::vector<std::wstring>& a_path) {
    HWND tree = childOfClass(a_dialog, L"SysTreeView32");
    if (tree == nullptr) {
        return false;
    }
    HTREEITEM level = treeItem(tree, TVGN_ROOT, nullptr);
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(level));
    for (const std::wstring& name : a_path) {
        HTREEITEM match = nullptr;
        for (HTREEITEM item = treeItem(tree, TVGN_CHILD, level); item != nullptr && !match;
             item = treeItem(tree, TVGN_NEXT, item)) {
            const std::wstring shown = selectItem(a_dialog, tree, item);
            const bool isDrive = name.size() == 4 && name.front() == L'(';
            if (shown == name || (isDrive && shown.find(name) != std::wstring::npos)) {
                match = item;
            }
        }
        if (match == nullptr) {
            return false;
        }
        selectItem(a_dialog, tree, match);
        SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(match));
        level = match;
    }
    return true;
}

std::vector<std::wstring> folderDialogPath(const std::wstring& a_windowsPath) {
    std::vector<std::wstring> path{L"My Computer", L"(" + a_windowsPath.substr(0, 2) + L")"};
    std::size_t start = 3;
    while (start < a_windowsPath.size()) {
        std::size_t end = a_windowsPath.find(L'\\', start);
        if (end == std::wstring::npos) {
            end = a_windowsPath.size();
        }
        if (end > start) {
            path.push_back(a_windowsPath.substr(start, end - start));
        }
        start = end + 1;
    }
    return path;
}

} // namespace dialog_driver
