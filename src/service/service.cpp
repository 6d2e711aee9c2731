#include "service/service.h"

#include "messages/start_log.h"
#include "platform/console.h"
#include "platform/service_control.h"
#include "platform/text.h"
#include "platform/unique_handle.h"

#include <windows.h>

namespace {

// How long the control manager waits for the next report of a start: a
// version check takes at most 3 seconds.
constexpr DWORD startStepMs = 10000;
constexpr DWORD stopStepMs = 1000;

// The service's side of the start, and its stop.
class Service final : public ServiceSide {
public:
    Service(std::wstring a_name, ServiceStart& a_start, std::vector<std::wstring> a_arguments)
        : m_name(std::move(a_name)), m_start(a_start), m_arguments(std::move(a_arguments)) {}

    // The service's thread: the start-up sequence, again after each end
    // nobody asked for while the policy says so, then the final status.
    void run(DWORD a_argc, LPWSTR* a_argv) {
        if (!m_status.connect(m_name, control, this)) {
            m_exitCode = static_cast<int>(GetLastError());
            return; // the control manager has no handle to be told anything through
        }
        m_status.pending(SERVICE_START_PENDING, startStepMs);
        for (DWORD i = 1; i < a_argc; ++i) {
            m_arguments.emplace_back(a_argv[i]);
        }
        if (!m_stopAsked) {
            m_exitCode = static_cast<int>(GetLastError());
            m_status.stopped(
                m_exitCode == 0 ? ERROR_NOT_ENOUGH_MEMORY : static_cast<DWORD>(m_exitCode), 0);
            return; // no stop could ever be asked for
        }
        while (startOnce()) {
            // A stop asked for during the delay ends the wait.
            if (WaitForSingleObject(m_stopAsked.get(), m_stop.restart.delaySeconds * 1000) ==
                WAIT_OBJECT_0) {
                break;
            }
        }
        // A requested stop is a clean one, whatever the application's code,
        // so that it never sets off the service's recovery actions.
        if (requested() || (m_exitCode == 0 && !m_stop.restart.gaveUp)) {
            m_status.stopped(NO_ERROR, 0);
        } else {
            m_status.stopped(ERROR_SERVICE_SPECIFIC_ERROR, static_cast<DWORD>(m_exitCode));
        }
    }

    // One start-up sequence: whether its application ran, ended by itself
    // and starts again (a start that fails before it runs does not).
    bool startOnce() {
        m_stop = ServiceStop();
        m_exitCode = m_start.run(*this, m_arguments);
        waitForStopper();
        return !requested() && m_stop.restart.restart;
    }

    int exitCode() const { return m_exitCode; }

    // Once the application has run, the service stays RUNNING through its
    // restarts.
    void progress() override {
        if (!m_ran) {
            m_status.pending(SERVICE_START_PENDING, startStepMs);
        }
    }

    // A handle of its own to the application, which the stopper waits on
    // and ends. Without one there is nothing to wait for or to end: the
    // application then ends with the service, through its job.
    void running(HANDLE a_application, DWORD a_processId,
                 const ServiceSettings& a_settings) override {
        m_settings = a_settings;
        m_startTicks = GetTickCount64();
        HANDLE own = nullptr;
        if (a_application != nullptr &&
            DuplicateHandle(GetCurrentProcess(), a_application, GetCurrentProcess(), &own,
                            SYNCHRONIZE | PROCESS_TERMINATE, FALSE, 0)) {
            AcquireSRWLockExclusive(&m_lock);
            m_processId = a_processId;
            m_application.reset(own);
            m_stopper.reset(CreateThread(nullptr, 0, stopper, this, 0, nullptr));
            ReleaseSRWLockExclusive(&m_lock);
        }
        if (!m_ran && !requested()) {
            m_status.running();
        }
        m_ran = true;
    }

    ServiceStop stopped() override {
        waitForStopper();
        m_stop.requested = requested();
        if (!m_stop.requested) {
            m_stop.restart = m_policy.ended(m_settings, GetTickCount64() - m_startTicks);
        }
        return m_stop;
    }

private:
    bool requested() const { return InterlockedCompareExchange(&m_requested, 0, 0) != 0; }

    // Then the application has ended, and a stop has nothing to end.
    void waitForStopper() {
        if (m_stopper) {
            WaitForSingleObject(m_stopper.get(), INFINITE);
        }
        AcquireSRWLockExclusive(&m_lock);
        m_stopper.reset();
        m_application.reset();
        ReleaseSRWLockExclusive(&m_lock);
    }

    // STOP, SHUTDOWN and PRESHUTDOWN alike, on the control manager's thread:
    // the stop itself waits on a thread of its own.
    static DWORD WINAPI control(DWORD a_control, DWORD, void*, void* a_context) {
        Service& service = *static_cast<Service*>(a_context);
        switch (a_control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
        case SERVICE_CONTROL_PRESHUTDOWN:
            InterlockedExchange(&service.m_requested, 1);
            service.m_status.pending(SERVICE_STOP_PENDING,
                                     service.m_settings.stopTimeoutSeconds * 1000 + 5000);
            SetEvent(service.m_stopAsked.get()); // cannot fail for a handle of its own
            AcquireSRWLockExclusive(&service.m_lock);
            if (!service.m_stopper && service.m_application) {
                // No thread could be made to stop it gently: it is ended at
                // once, and the stop does not stay pending.
                service.m_stop.ended = true;
                TerminateProcess(service.m_application.get(), 1);
            }
            ReleaseSRWLockExclusive(&service.m_lock);
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
        }
    }

    // Until the application ends, or a stop is asked for: then Ctrl+C, and
    // the application ended when it has not ended by the time-out.
    static DWORD WINAPI stopper(void* a_context) {
        Service& service = *static_cast<Service*>(a_context);
        const HANDLE waits[] = {service.m_application.get(), service.m_stopAsked.get()};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
            return 0; // it ended by itself
        }
        service.m_stop.ctrlCSent = sendCtrlC(service.m_processId);
        const DWORD timeoutMs = service.m_settings.stopTimeoutSeconds * 1000;
        for (DWORD waited = 0; waited < timeoutMs; waited += stopStepMs) {
            if (WaitForSingleObject(service.m_application.get(), stopStepMs) == WAIT_OBJECT_0) {
                return 0;
            }
            service.m_status.pending(SERVICE_STOP_PENDING, stopStepMs + 5000);
        }
        if (WaitForSingleObject(service.m_application.get(), 0) != WAIT_OBJECT_0) {
            service.m_stop.ended = true;
            TerminateProcess(service.m_application.get(), 1); // fails only once it has ended
        }
        return 0;
    }

    std::wstring m_name;
    ServiceStart& m_start;
    std::vector<std::wstring> m_arguments;
    ServiceStatus m_status;
    UniqueHandle m_stopAsked{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    // Set by the service's thread, read by a stop's (the control manager's).
    SRWLOCK m_lock = SRWLOCK_INIT;
    UniqueHandle m_application;
    UniqueHandle m_stopper;
    DWORD m_processId = 0;
    ServiceSettings m_settings;
    ULONGLONG m_startTicks = 0;
    RestartPolicy m_policy;
    ServiceStop m_stop;
    mutable LONG m_requested = 0;
    bool m_ran = false; // the application has run, since the service started
    int m_exitCode = 0;
};

// The control manager calls the service's main function without a context:
// the process has one service.
Service* theService = nullptr;

void WINAPI serviceMain(DWORD a_argc, LPWSTR* a_argv) {
    theService->run(a_argc, a_argv);
}

} // namespace

std::optional<int> runAsService(const std::wstring& a_name,
                                const std::vector<std::wstring>& a_launcherArguments,
                                ServiceStart& a_start) {
    Service service(a_name, a_start, a_launcherArguments);
    theService = &service;
    // Started by a person (1063), or where there is no control manager to
    // connect to: the plain start.
    if (!runServiceDispatcher(a_name, serviceMain)) {
        return std::nullopt;
    }
    return service.exitCode();
}

void logServiceEnd(const ServiceStop& a_stop, DWORD a_exitCode, const ServiceSettings& a_settings,
                   StartLog& a_log) {
    const long code = static_cast<long>(a_exitCode);
    if (!a_stop.requested) {
        const RestartPolicy::Verdict& restart = a_stop.restart;
        std::wstring line =
            formatWideString(L"service: the application ended by itself, exit code %ld", code);
        if (restart.restart) {
            line += formatWideString(L"; started again in %lu seconds", restart.delaySeconds);
        } else if (restart.gaveUp) {
            line += L"; its 5th end in a row within a minute of its start: the service stops";
        }
        a_log.line(line);
        return;
    }
    if (!a_stop.ctrlCSent) {
        a_log.line(L"service: stop requested; the application has no console to send Ctrl+C to");
    }
    a_log.line(a_stop.ended
                   ? formatWideString(L"service: stop requested; the application did not "
                                      L"end within %lu seconds and was ended, exit code %ld",
                                      a_settings.stopTimeoutSeconds, code)
                   : formatWideString(L"service: stop requested; the application ended, "
                                      L"exit code %ld",
                                      code));
}
