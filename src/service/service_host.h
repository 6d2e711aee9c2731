#pragma once

#include "host/launcher_host.h"

class ServiceSide;

// A service's host: nobody is there to see or answer anything. The start
// asks a service nothing (its role says so), so every box is a message that
// reaches no one, the folder dialog is cancelled and no address opens; the
// log has each box. Each process the start runs (a runtime's version check)
// is a step of the service's progress; the application always starts as a
// process, which a stop can end.
class ServiceHost final : public LauncherHost {
public:
    ServiceHost(LauncherHost& a_host, ServiceSide& a_service)
        : m_host(a_host), m_service(a_service) {}

    int showMessage(const std::wstring&, const wchar_t*, UINT) override { return IDOK; }
    std::wstring chooseJavaFolder(const std::wstring&) override { return std::wstring(); }
    void openAddress(const std::wstring&) override {}
    std::vector<std::wstring> installedJavaRuntimes() override {
        return m_host.installedJavaRuntimes();
    }
    ProcessResult runProcess(const ProcessRequest& a_request) override;
    void handOverForeground(DWORD, bool) override {}
    bool activateWindowOf(DWORD) override { return false; }
    std::wstring loadJavaLauncher(const std::wstring&, const std::wstring&) override {
        return L"a service starts its application as a process";
    }
    int runJavaLauncher(const std::vector<std::wstring>&, const std::wstring&, bool) override {
        return -7; // never called (loadJavaLauncher refused): an unexpected failure
    }

private:
    LauncherHost& m_host;
    ServiceSide& m_service;
};
