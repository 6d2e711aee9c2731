#pragma once

#include <windows.h>

#include <string>

// The service control manager's side of a service program, through
// advapi32, loaded only when a launcher is a service.

// Whether the service control manager started this process: its parent is
// services.exe (a few calls, asked on every start). Asked first, since a
// dispatcher of a process a person started fails only after some seconds
// under Wine (at once on Windows).
bool startedByServiceManager();

// Hands this thread to the service control manager, which calls a_main on a
// thread of its own for the service a_name and sends it its controls;
// returns when the service has stopped. False when it cannot: with
// GetLastError ERROR_FAILED_SERVICE_CONTROLLER_CONNECT (1063) when the
// process was not started as a service.
bool runServiceDispatcher(const std::wstring& a_name, LPSERVICE_MAIN_FUNCTIONW a_main);

// The service's status as the control manager shows it. Reports may come
// from several threads.
class ServiceStatus {
public:
    // Registers a_handler for the service's controls; false when it cannot.
    bool connect(const std::wstring& a_name, LPHANDLER_FUNCTION_EX a_handler, void* a_context);

    // START_PENDING or STOP_PENDING, with the next checkpoint: the control
    // manager waits a_waitHintMs for the next report.
    void pending(DWORD a_state, DWORD a_waitHintMs);
    // RUNNING, accepting STOP, SHUTDOWN and PRESHUTDOWN.
    void running();
    // STOPPED: NO_ERROR, or ERROR_SERVICE_SPECIFIC_ERROR with a_specific.
    // Nothing is reported after it.
    void stopped(DWORD a_win32ExitCode, DWORD a_specific);

private:
    void report(DWORD a_state, DWORD a_accepted, DWORD a_waitHintMs,
                DWORD a_win32ExitCode = NO_ERROR, DWORD a_specific = 0);

    SERVICE_STATUS_HANDLE m_handle = nullptr;
    decltype(SetServiceStatus)* m_setStatus = nullptr;
    SERVICE_STATUS m_status{};
    SRWLOCK m_lock = SRWLOCK_INIT;
};
