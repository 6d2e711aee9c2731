#include "platform/window_system.h"

#include "platform/system_library.h"

namespace {

constexpr const wchar_t* user32 = L"user32.dll";

template <typename Function> Function* user32Function(const char* a_name) {
    return systemFunction<Function>(user32, a_name);
}

// The functions it takes, looked up once for all the windows.
struct WindowSearch {
    DWORD processId;
    decltype(GetWindowThreadProcessId)* processOf;
    decltype(IsWindowVisible)* isVisible;
    decltype(GetWindow)* relatedWindow;
    HWND found;
};

BOOL CALLBACK considerWindow(HWND a_window, LPARAM a_search) {
    auto& search = *reinterpret_cast<WindowSearch*>(a_search);
    DWORD owner = 0;
    search.processOf(a_window, &owner);
    if (owner != search.processId || !search.isVisible(a_window) ||
        search.relatedWindow(a_window, GW_OWNER) != nullptr) {
        return TRUE;
    }
    search.found = a_window;
    return FALSE;
}

} // namespace

void allowForeground(DWORD a_processId) {
    if (const auto allow =
            user32Function<decltype(AllowSetForegroundWindow)>("AllowSetForegroundWindow")) {
        allow(a_processId); // a launcher without the right has none to pass on: no matter
    }
}

void endStartupCursor() {
    if (const auto peek = user32Function<decltype(PeekMessageW)>("PeekMessageW")) {
        MSG message;
        peek(&message, nullptr, 0, 0, PM_NOREMOVE); // asking is what counts, not the answer
    }
}

bool bringWindowForward(DWORD a_processId) {
    const auto enumerate = user32Function<decltype(EnumWindows)>("EnumWindows");
    const auto isIconic = user32Function<decltype(IsIconic)>("IsIconic");
    const auto show = user32Function<decltype(ShowWindow)>("ShowWindow");
    const auto toFront = user32Function<decltype(SetForegroundWindow)>("SetForegroundWindow");
    WindowSearch search{
        a_processId, user32Function<decltype(GetWindowThreadProcessId)>("GetWindowThreadProcessId"),
        user32Function<decltype(IsWindowVisible)>("IsWindowVisible"),
        user32Function<decltype(GetWindow)>("GetWindow"), nullptr};
    if (enumerate == nullptr || isIconic == nullptr || show == nullptr || toFront == nullptr ||
        search.processOf == nullptr || search.isVisible == nullptr ||
        search.relatedWindow == nullptr) {
        return false;
    }
    enumerate(considerWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) {
        return false;
    }
    if (isIconic(search.found)) {
        show(search.found, SW_RESTORE);
    }
    // The system may only flash its task-bar button instead: the window is
    // there for the user either way.
    toFront(search.found);
    return true;
}
