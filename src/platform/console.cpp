#include "platform/console.h"

#include "platform/text.h"

#include <windows.h>

namespace {

BOOL WINAPI handledElsewhere(DWORD) {
    return TRUE;
}

} // namespace

bool outlastConsoleEvents(decltype(SetConsoleCtrlHandler)* a_install) {
    return a_install(handledElsewhere, TRUE) != FALSE;
}

bool sendCtrlC(DWORD a_processId) {
    // A console of this process's own would keep it from attaching to the
    // application's; ignored: most often it has none.
    FreeConsole();
    if (!AttachConsole(a_processId)) {
        return false;
    }
    // The handler lets this process outlast the event it sends; a null
    // handler would do as much, and be inherited by later children.
    const bool sent = outlastConsoleEvents() && GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != FALSE;
    FreeConsole(); // ignored: a console that cannot be left sends nothing more
    return sent;
}

void writeStandardError(const std::wstring& a_text) {
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error == nullptr || error == INVALID_HANDLE_VALUE) {
        return;
    }
    // Results ignored: a message that cannot be written has nowhere else to go.
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(error, &mode)) {
        WriteConsoleW(error, a_text.data(), static_cast<DWORD>(a_text.size()), &written, nullptr);
        return;
    }
    const std::string bytes = encodeUtf8(a_text);
    WriteFile(error, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}
