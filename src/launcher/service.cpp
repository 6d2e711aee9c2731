#include "launcher/service.h"

#include "launcher/launcher.h"
#include "launcher/system_host.h"
#include "platform/console.h"
#include "platform/named_mutex.h"
#include "platform/service_control.h"
#include "platform/unique_handle.h"
#include "settings/settings.h"

#include <windows.h>

namespace {

// How long the control manager waits for the next report of a start: a
// version check takes at most 3 seconds.
constexpr DWORD startStepMs = 10000;
constexpr DWORD stopStepMs = 1000;

// The service's side of the start, and its stop.
class Service final : public ServiceRole {
public:
    Service(std::wstring a_name, const SettingsFile& a_settingsFile,
            std::vector<std::wstring> a_arguments)
        : m_name(std::move(a_name)), m_settingsFile(a_settingsFile),
          m_arguments(std::move(a_arguments)) {}

    // The service's thread: the start-up sequence, then the final status.
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
        NamedMutex singleRunMutex;
        SystemHost host;
        m_exitCode = runLauncher(host, singleRunMutex, m_arguments, LauncherKind::service, this,
                                 &m_settingsFile);
        waitForStopper();
        // A requested stop is a clean one, whatever the application's code,
        // so that it never sets off the service's recovery actions.
        if (requested() || m_exitCode == 0) {
            m_status.stopped(NO_ERROR, 0);
        } else {
            m_status.stopped(ERROR_SERVICE_SPECIFIC_ERROR, static_cast<DWORD>(m_exitCode));
        }
    }

    int exitCode() const { return m_exitCode; }

    void progress() override { m_status.pending(SERVICE_START_PENDING, startStepMs); }

    void running(DWORD a_processId, unsigned long a_stopTimeoutSeconds) override {
        m_processId = a_processId;
        m_timeoutMs = a_stopTimeoutSeconds * 1000;
        m_application.reset(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, a_processId));
        // Without a handle there is nothing to wait for or to end: the
        // application then ends with the service, through its job.
        if (m_application) {
            m_stopper.reset(CreateThread(nullptr, 0, stopper, this, 0, nullptr));
        }
        m_status.running();
    }

    ServiceStop stopped() override {
        waitForStopper();
        return ServiceStop{requested(), m_ctrlCSent, m_ended};
    }

private:
    bool requested() const { return InterlockedCompareExchange(&m_requested, 0, 0) != 0; }

    void waitForStopper() {
        if (m_stopper) {
            WaitForSingleObject(m_stopper.get(), INFINITE);
            m_stopper.reset();
        }
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
            service.m_status.pending(SERVICE_STOP_PENDING, service.m_timeoutMs + 5000);
            SetEvent(service.m_stopAsked.get()); // cannot fail for a handle of its own
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
        service.m_ctrlCSent = sendCtrlC(service.m_processId);
        for (DWORD waited = 0; waited < service.m_timeoutMs; waited += stopStepMs) {
            if (WaitForSingleObject(service.m_application.get(), stopStepMs) == WAIT_OBJECT_0) {
                return 0;
            }
            service.m_status.pending(SERVICE_STOP_PENDING, stopStepMs + 5000);
        }
        if (WaitForSingleObject(service.m_application.get(), 0) != WAIT_OBJECT_0) {
            service.m_ended = true;
            TerminateProcess(service.m_application.get(), 1); // fails only once it has ended
        }
        return 0;
    }

    std::wstring m_name;
    const SettingsFile& m_settingsFile;
    std::vector<std::wstring> m_arguments;
    ServiceStatus m_status;
    UniqueHandle m_stopAsked{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueHandle m_application;
    UniqueHandle m_stopper;
    DWORD m_processId = 0;
    DWORD m_timeoutMs = 20000;
    mutable LONG m_requested = 0;
    bool m_ctrlCSent = false;
    bool m_ended = false;
    int m_exitCode = 0;
};

// The control manager calls the service's main function without a context:
// the process has one service.
Service* theService = nullptr;

void WINAPI serviceMain(DWORD a_argc, LPWSTR* a_argv) {
    theService->run(a_argc, a_argv);
}

} // namespace

std::optional<int> runAsService(const SettingsFile* a_settingsFile,
                                const std::vector<std::wstring>& a_launcherArguments) {
    const std::wstring name = a_settingsFile ? readServiceName(*a_settingsFile) : std::wstring();
    if (name.empty() || !startedByServiceManager()) {
        return std::nullopt;
    }
    Service service(name, *a_settingsFile, a_launcherArguments);
    theService = &service;
    // Started by a person (1063), or where there is no control manager to
    // connect to: the plain start.
    if (!runServiceDispatcher(name, serviceMain)) {
        return std::nullopt;
    }
    return service.exitCode();
}
