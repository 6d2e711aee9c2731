#pragma once

#include "service/restart_policy.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

class StartLog;

// How a service's application ended.
struct ServiceStop {
    bool requested = false; // a stop (or shutdown) was asked for
    bool ctrlCSent = false; // the application was sent Ctrl+C
    bool ended = false;     // it was still running after the stop's time-out
    // For an end nobody asked for: whether the service starts it again.
    RestartPolicy::Verdict restart;
};

// The service control manager's side of a service's start: the start-up
// sequence tells it how the start goes, and asks it how the application's
// end came about.
class ServiceSide {
public:
    // A step of the start (the settings read, a runtime checked).
    virtual void progress() = 0;
    // The application runs as process a_processId, a_application (the
    // starter's handle, valid while the start waits for it); a stop sends it
    // Ctrl+C and waits a_settings' stop time-out before it ends it.
    virtual void running(HANDLE a_application, DWORD a_processId,
                         const ServiceSettings& a_settings) = 0;
    // After the application has ended: how, and whether it starts again.
    virtual ServiceStop stopped() = 0;

protected:
    ~ServiceSide() = default;
};

// The start a service runs on its thread: the launcher's start-up sequence,
// with a_arguments (the launcher's own, then the service's start
// parameters); its exit code.
class ServiceStart {
public:
    virtual int run(ServiceSide& a_side, const std::vector<std::wstring>& a_arguments) = 0;

protected:
    ~ServiceStart() = default;
};

// The launcher as the Windows service a_name (service-name; empty when the
// settings name none), when the service control manager started it: it
// connects first, reports its start as it goes, runs a_start, stops its
// application with Ctrl+C when asked (ending it after service-stop-timeout),
// runs a_start again after an end nobody asked for (service-restart), and
// stops with the application's exit code, or the launcher's own when a
// start could not happen. None when there is no control manager to connect
// to.
std::optional<int> runAsService(const std::wstring& a_name,
                                const std::vector<std::wstring>& a_launcherArguments,
                                ServiceStart& a_start);

// How the application ended, for the service's log: by itself (and whether
// it starts again), or after a stop (with Ctrl+C, or ended after the stop's
// time-out).
void logServiceEnd(const ServiceStop& a_stop, DWORD a_exitCode, const ServiceSettings& a_settings,
                   StartLog& a_log);
