#include "platform/service_control.h"

#include "platform/system_library.h"
#include "platform/unique_handle.h"

#include <winternl.h>

#include <cwchar>

namespace {

constexpr const wchar_t* advapi32 = L"advapi32.dll";

} // namespace

// The parent's id, from the kernel's basic facts of this process (ntdll is
// in every process: nothing is loaded for it); 0 when it cannot be read.
DWORD parentProcessId() {
    using Query = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic{};
    if (query == nullptr ||
        query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) {
        return 0;
    }
    return static_cast<DWORD>(basic.InheritedFromUniqueProcessId);
}

bool startedByServiceManager() {
    const DWORD parent = parentProcessId();
    const UniqueHandle process(
        parent != 0 ? OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, parent) : nullptr);
    wchar_t image[MAX_PATH * 2];
    DWORD length = sizeof image / sizeof image[0];
    if (!process || !QueryFullProcessImageNameW(process.get(), 0, image, &length)) {
        return false; // a parent that is gone or hidden: no control manager
    }
    const wchar_t* name = image;
    for (DWORD i = 0; i < length; ++i) {
        name = image[i] == L'\\' ? image + i + 1 : name;
    }
    return CompareStringOrdinal(name, -1, L"services.exe", -1, TRUE) == CSTR_EQUAL;
}

bool runServiceDispatcher(const std::wstring& a_name, LPSERVICE_MAIN_FUNCTIONW a_main) {
    const auto dispatch = systemFunction<decltype(StartServiceCtrlDispatcherW)>(
        advapi32, "StartServiceCtrlDispatcherW");
    if (dispatch == nullptr) {
        return false;
    }
    std::wstring name = a_name; // the table takes a writable string
    const SERVICE_TABLE_ENTRYW table[] = {{name.data(), a_main}, {nullptr, nullptr}};
    return dispatch(table) != FALSE;
}

bool ServiceStatus::connect(const std::wstring& a_name, LPHANDLER_FUNCTION_EX a_handler,
                            void* a_context) {
    const auto registerHandler = systemFunction<decltype(RegisterServiceCtrlHandlerExW)>(
        advapi32, "RegisterServiceCtrlHandlerExW");
    m_handle = registerHandler != nullptr ? registerHandler(a_name.c_str(), a_handler, a_context)
                                          : nullptr;
    // Looked up here, before other threads report.
    m_setStatus = systemFunction<decltype(SetServiceStatus)>(advapi32, "SetServiceStatus");
    m_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    return m_handle != nullptr;
}

void ServiceStatus::pending(DWORD a_state, DWORD a_waitHintMs) {
    report(a_state, 0, a_waitHintMs); // no control until it runs, or while it stops
}

void ServiceStatus::running() {
    report(SERVICE_RUNNING,
           SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_PRESHUTDOWN, 0);
}

void ServiceStatus::stopped(DWORD a_win32ExitCode, DWORD a_specific) {
    report(SERVICE_STOPPED, 0, 0, a_win32ExitCode, a_specific);
}

// Each pending report counts a checkpoint on, as the control manager reads
// progress; a report that cannot be made has nowhere to go, and is ignored.
// STOPPED is the last word: a stop asked for as the application ended
// reports no STOP_PENDING after it.
void ServiceStatus::report(DWORD a_state, DWORD a_accepted, DWORD a_waitHintMs,
                           DWORD a_win32ExitCode, DWORD a_specific) {
    AcquireSRWLockExclusive(&m_lock);
    if (m_status.dwCurrentState != SERVICE_STOPPED) {
        const bool pending = a_state == SERVICE_START_PENDING || a_state == SERVICE_STOP_PENDING;
        m_status.dwCurrentState = a_state;
        m_status.dwControlsAccepted = a_accepted;
        m_status.dwWaitHint = a_waitHintMs;
        m_status.dwCheckPoint = pending ? m_status.dwCheckPoint + 1 : 0;
        m_status.dwWin32ExitCode = a_win32ExitCode;
        m_status.dwServiceSpecificExitCode = a_specific;
        if (m_setStatus != nullptr && m_handle != nullptr) {
            m_setStatus(m_handle, &m_status);
        }
    }
    ReleaseSRWLockExclusive(&m_lock);
}
