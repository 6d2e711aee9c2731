// The launcher as a Windows service, under Wine's service control manager.
#include "launcher_session.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

using namespace e2e;
using namespace testing_support;

struct ServiceHandleTraits {
    using Type = SC_HANDLE;
    static SC_HANDLE empty() noexcept { return nullptr; }
    static void close(SC_HANDLE a_handle) noexcept { CloseServiceHandle(a_handle); }
};
using UniqueService = UniqueResource<ServiceHandleTraits>;

// A demand-start service of the test's own, removed when the test ends.
class TestService {
public:
    explicit TestService(const std::wstring& a_binary)
        : m_name(L"tavrin-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(GetTickCount64())),
          m_manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)) {
        m_service.reset(CreateServiceW(
            m_manager.get(), m_name.c_str(), m_name.c_str(), SERVICE_ALL_ACCESS,
            SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
            quotedArgument(a_binary).c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        EXPECT_TRUE(m_service) << "CreateServiceW: " << GetLastError();
    }
    ~TestService() {
        SERVICE_STATUS status{};
        if (m_service && QueryServiceStatus(m_service.get(), &status) &&
            status.dwCurrentState != SERVICE_STOPPED) {
            ControlService(m_service.get(), SERVICE_CONTROL_STOP, &status);
            waitFor(SERVICE_STOPPED, 20000);
        }
        if (m_service) {
            DeleteService(m_service.get());
        }
    }

    const std::wstring& name() const { return m_name; }

    bool start(const std::vector<std::wstring>& a_arguments) {
        std::vector<const wchar_t*> arguments;
        for (const std::wstring& argument : a_arguments) {
            arguments.push_back(argument.c_str());
        }
        return StartServiceW(m_service.get(), static_cast<DWORD>(arguments.size()),
                             arguments.empty() ? nullptr : arguments.data()) != FALSE;
    }
    bool stop() {
        SERVICE_STATUS status{};
        return ControlService(m_service.get(), SERVICE_CONTROL_STOP, &status) != FALSE;
    }

    // The first status in a_state, polled often: Wine forgets a stopped
    // service's exit codes soon after its process ends.
    SERVICE_STATUS waitFor(DWORD a_state, DWORD a_timeoutMs) {
        SERVICE_STATUS status{};
        const ULONGLONG deadline = GetTickCount64() + a_timeoutMs;
        while (QueryServiceStatus(m_service.get(), &status) && status.dwCurrentState != a_state &&
               GetTickCount64() < deadline) {
            Sleep(5);
        }
        return status;
    }

private:
    std::wstring m_name;
    UniqueService m_manager;
    UniqueService m_service;
};

// An application folder whose launcher is a service: the stand-in runtime
// beside it (a service gets the system's environment, so its settings are
// in its fake-java.cfg), and the service's log.
struct ServiceApplication {
    explicit ServiceApplication(std::map<std::string, std::string> a_java,
                                const std::string& a_keys = "") {
        app.writeJar();
        a_java["FAKE_JAVA_RECORD"] = utf8(app.recordFile());
        java = std::make_unique<JavaRuntime>(app.path(L"runtime\\bin"), a_java);
        app.writeSettings("[tavrin]\r\njar-file-name=lib\\app.jar\r\nmin-java-version=1.6\r\n"
                          "java-location=runtime\\bin\r\nask-for-java-location=1\r\n"
                          "allow-newer-version=1\r\nservice-name=" +
                          utf8(service.name()) + "\r\n" + a_keys);
    }
    std::string log() const { return bytesOf(L"tavrin.service.log"); }
    // The application's output log, or one of its older files.
    std::string output(const wchar_t* a_suffix = L"") const {
        return bytesOf(std::wstring(L"tavrin.out.log") + a_suffix);
    }
    std::string bytesOf(const std::wstring& a_name) const {
        const std::wstring file = app.path(a_name);
        return pathExists(file) ? readFileBytes(file) : std::string();
    }
    // The application's runs so far (the version checks left out).
    std::vector<JavaRecord> applicationRuns() const {
        std::vector<JavaRecord> runs;
        for (const JavaRecord& run : app.javaRuns()) {
            if (run.arguments.size() > 1 && run.arguments[1] != L"-version") {
                runs.push_back(run);
            }
        }
        return runs;
    }

    Application app;
    TestService service{app.path(L"tavrin.exe")};
    std::unique_ptr<JavaRuntime> java;
};

// Started by the control manager, with its start parameters passed on; a
// stop sends the application Ctrl+C, which it ends on, and the service stops
// cleanly.
TEST(Service, StartedAndStoppedByTheControlManager) {
    ServiceApplication server({{"FAKE_JAVA_RUN_MS", "60000"}}, "pass-arguments=1\r\n");
    const std::wstring ctrlC = server.app.scratch() / L"ctrl-c.txt";
    writeFileBytes(server.app.path(L"runtime\\bin\\fake-java.cfg"),
                   readFileBytes(server.app.path(L"runtime\\bin\\fake-java.cfg")) +
                       "FAKE_JAVA_CTRL_C=" + utf8(ctrlC) + "\r\n");
    ASSERT_TRUE(server.service.start({L"--port", L"8080"})) << GetLastError();
    EXPECT_EQ(server.service.waitFor(SERVICE_RUNNING, 10000).dwCurrentState,
              static_cast<DWORD>(SERVICE_RUNNING));
    // RUNNING comes as the application's process starts, before it runs.
    for (int i = 0; i < 500 && server.app.javaRuns().size() < 2; ++i) {
        Sleep(10);
    }
    const std::vector<JavaRecord> runs = server.app.javaRuns();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].arguments,
              (std::vector<std::wstring>{server.java->executable(), L"-jar",
                                         server.app.path(L"lib\\app.jar"), L"--port", L"8080"}));
    ASSERT_TRUE(server.service.stop()) << GetLastError();
    const SERVICE_STATUS stopped = server.service.waitFor(SERVICE_STOPPED, 20000);
    EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(readFileBytes(ctrlC), "ctrl-c");
    EXPECT_NE(
        server.log().find("service: stop requested; the application ended, exit code 130\r\n"),
        std::string::npos)
        << server.log();
}

// How the service stops: cleanly after a requested stop, even when the
// application ignored Ctrl+C and had to be ended; with a service-specific
// error carrying the code when the application ended by itself with one, or
// when the start could not happen.
TEST(Service, ItsStopAndItsExitCode) {
    const struct {
        const char* name;
        std::map<std::string, std::string> java;
        std::string keys;
        bool stop;
        DWORD win32ExitCode;
        DWORD specific;
        std::string logged;
    } cases[] = {
        {"ignoring Ctrl+C",
         {{"FAKE_JAVA_RUN_MS", "60000"}, {"FAKE_JAVA_IGNORE_CTRL_C", "1"}},
         "service-stop-timeout=1\r\n",
         true,
         NO_ERROR,
         0,
         "service: stop requested; the application did not end within 1 seconds and was ended, "
         "exit code 1\r\n"},
        {"ending by itself with 5, with no restarts",
         {{"FAKE_JAVA_RUN_MS", "300"}, {"FAKE_JAVA_EXIT", "5"}},
         "service-restart=no\r\n",
         false,
         ERROR_SERVICE_SPECIFIC_ERROR,
         5,
         "service: the application ended by itself, exit code 5\r\n"},
        {"a missing JAR",
         {},
         "jar-file-name=lib\\gone.jar\r\n",
         false,
         ERROR_SERVICE_SPECIFIC_ERROR,
         static_cast<DWORD>(-4),
         "settings: jar-file-name: no such file or folder: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ServiceApplication server(c.java, c.keys);
        ASSERT_TRUE(server.service.start({})) << GetLastError();
        if (c.stop) {
            EXPECT_EQ(server.service.waitFor(SERVICE_RUNNING, 10000).dwCurrentState,
                      static_cast<DWORD>(SERVICE_RUNNING));
            ASSERT_TRUE(server.service.stop()) << GetLastError();
        }
        const SERVICE_STATUS stopped = server.service.waitFor(SERVICE_STOPPED, 20000);
        EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
        EXPECT_EQ(stopped.dwWin32ExitCode, c.win32ExitCode);
        EXPECT_EQ(stopped.dwServiceSpecificExitCode, c.specific);
        EXPECT_NE(server.log().find(c.logged), std::string::npos) << server.log();
    }
}

std::size_t count(const std::string& a_text, const std::string& a_part) {
    std::size_t found = 0;
    for (std::size_t at = a_text.find(a_part); at != std::string::npos;
         at = a_text.find(a_part, at + 1)) {
        ++found;
    }
    return found;
}

// An application that ends by itself, with 3 and then with 0, is started
// again after the delay (doubled after a quick end) while the service stays
// RUNNING, with its arguments each time, as tavrin.ini says by then; its output and error are
// appended to one log across the runs and rotated past service-log-size; the log tells each end
// while the service runs; a requested stop is never followed by a restart.
TEST(Service, AnEndNobodyAskedForIsStartedAgain) {
    ServiceApplication server(
        {{"FAKE_JAVA_EXITS", "3 0"},
         {"FAKE_JAVA_RUN_MS", "60000"},
         {"FAKE_JAVA_RUN_ERROR", "on error\\n"},
         {"FAKE_JAVA_RUN_FILL", "600000"}},
        "arguments=-tcp \"base dir\" %SystemRoot%\\data\r\nservice-restart-delay=2\r\n"
        "service-log-size=1\r\nservice-log-keep=1\r\n");
    ASSERT_TRUE(server.service.start({})) << GetLastError();
    EXPECT_EQ(server.service.waitFor(SERVICE_RUNNING, 10000).dwCurrentState,
              static_cast<DWORD>(SERVICE_RUNNING));
    // A restart reads tavrin.ini anew: edited while the first run's restart
    // waits, the later runs get the new arguments.
    for (int i = 0; i < 1000 && server.applicationRuns().empty(); ++i) {
        Sleep(10);
    }
    std::string settings = readFileBytes(server.app.path(L"tavrin.ini"));
    settings.replace(settings.find("arguments=-tcp"), 14, "arguments=-web");
    server.app.writeSettings(settings);
    bool leftRunning = false;
    for (int i = 0; i < 1500 && server.applicationRuns().size() < 3; ++i) {
        leftRunning = leftRunning ||
                      server.service.waitFor(SERVICE_RUNNING, 0).dwCurrentState != SERVICE_RUNNING;
        Sleep(10);
    }
    EXPECT_FALSE(leftRunning) << "the service stays RUNNING through its restarts";
    const std::vector<JavaRecord> runs = server.applicationRuns();
    ASSERT_EQ(runs.size(), 3u) << server.log();
    wchar_t systemRoot[MAX_PATH];
    GetEnvironmentVariableW(L"SystemRoot", systemRoot, MAX_PATH);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(
            runs[i].arguments,
            (std::vector<std::wstring>{server.java->executable(), L"-jar",
                                       server.app.path(L"lib\\app.jar"), i == 0 ? L"-tcp" : L"-web",
                                       L"base dir", std::wstring(systemRoot) + L"\\data"}))
            << i;
    }
    const std::string running = server.log();
    EXPECT_NE(running.find("service: the application ended by itself, exit code 3; started again "
                           "in 2 seconds\r\n"),
              std::string::npos)
        << running;
    EXPECT_NE(running.find("service: the application ended by itself, exit code 0; started again "
                           "in 4 seconds\r\n"),
              std::string::npos)
        << running;
    // The third run's output has come by now: 600,000 bytes each, rotated
    // once past 1 MiB, at a line's end.
    for (int i = 0; i < 500 && count(server.output(L".1") + server.output(), "x\n") < 18000; ++i) {
        Sleep(10);
    }
    const std::string older = server.output(L".1");
    const std::string current = server.output();
    EXPECT_GE(older.size(), 1u << 20);
    EXPECT_LT(older.size(), (1u << 20) + 100);
    EXPECT_EQ(older.back(), '\n');
    EXPECT_EQ(older.compare(0, 14, "fake java ran "), 0) << older.substr(0, 100);
    EXPECT_EQ(count(older + current, "fake java ran ["), 3u);
    EXPECT_EQ(count(older + current, "on error\n"), 3u);
    EXPECT_EQ(count(older + current, std::string(99, 'x') + "\n"), 18000u);
    EXPECT_FALSE(pathExists(server.app.path(L"tavrin.out.log.2")));

    ASSERT_TRUE(server.service.stop()) << GetLastError();
    const SERVICE_STATUS stopped = server.service.waitFor(SERVICE_STOPPED, 20000);
    EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(NO_ERROR));
    Sleep(1500);
    EXPECT_EQ(server.applicationRuns().size(), 3u) << "a requested stop is never restarted";
    EXPECT_NE(server.log().find("service: stop requested; the application ended"),
              std::string::npos);
}

// The fifth end in a row within a minute of its start stops the service,
// with the last exit code.
TEST(Service, FiveQuickEndsInARowStopIt) {
    ServiceApplication server({{"FAKE_JAVA_EXITS", "7 7 7 7 7 7 7"}, {"FAKE_JAVA_RUN_MS", "60000"}},
                              "service-restart-delay=0\r\n");
    ASSERT_TRUE(server.service.start({})) << GetLastError();
    const SERVICE_STATUS stopped = server.service.waitFor(SERVICE_STOPPED, 30000);
    EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, 7u);
    EXPECT_EQ(server.applicationRuns().size(), 5u);
    EXPECT_EQ(count(server.log(), "exit code 7; started again in 0 seconds\r\n"), 4u);
    EXPECT_NE(server.log().find("exit code 7; its 5th end in a row within a minute of its start: "
                                "the service stops\r\n"),
              std::string::npos)
        << server.log();
}

// Started by the control manager, the launcher is a service whatever its
// settings say: one that cannot start reports STOPPED with its exit code,
// shows nothing and leaves no process.
TEST(Service, AStartThatCannotReadItsSettingsReportsItsCode) {
    const struct {
        const char* name;
        const char* settings; // null: no tavrin.ini
        DWORD specific;
    } cases[] = {
        {"no tavrin.ini", nullptr, static_cast<DWORD>(-1)},
        {"no service-name",
         "[tavrin]\r\njar-file-name=lib\\app.jar\r\nmin-java-version=1.6\r\n"
         "java-location=runtime\\bin\r\nask-for-java-location=1\r\nallow-newer-version=1\r\n",
         static_cast<DWORD>(-4)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ServiceApplication server(
            std::map<std::string, std::string>{{"FAKE_JAVA_RUN_MS", "60000"}});
        if (c.settings == nullptr) {
            DeleteFileW(server.app.path(L"tavrin.ini").c_str());
        } else {
            server.app.writeSettings(c.settings);
        }
        ASSERT_TRUE(server.service.start({})) << GetLastError();
        const SERVICE_STATUS stopped = server.service.waitFor(SERVICE_STOPPED, 20000);
        EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
        EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
        EXPECT_EQ(stopped.dwServiceSpecificExitCode, c.specific);
        EXPECT_TRUE(server.app.javaRuns().empty()) << "no application was started";
    }
}

// Started by a person, a service's launcher starts the application as any
// launcher does.
TEST(Service, StartedByAPersonItIsAPlainLauncher) {
    ServiceApplication server({}, "wait-for-exit=1\r\n");
    EXPECT_EQ(server.app.run().exitCode, 0);
    EXPECT_EQ(server.app.javaRuns().size(), 2u);
    EXPECT_EQ(server.log(), "") << "a plain start writes no service log";
}

// The machine's own JVM, through the bridge, as a service: a stop runs its
// shutdown hook.
TEST(Service, AStopRunsARealJvmsShutdownHook) {
    Application app;
    TestService service(app.path(L"tavrin.exe"));
    copyFileOrFail(javaApplications() + L"\\lib\\server.jar", app.path(L"server.jar"));
    const std::wstring hook = app.scratch() / L"hook.txt";
    app.writeSettings("[tavrin]\r\njar-file-name=server.jar\r\nmin-java-version=1.8\r\n"
                      "java-location=" +
                      utf8(bridgeFolder()) +
                      "\r\nask-for-java-location=0\r\nallow-newer-version=1\r\n"
                      "start-arguments=" +
                      utf8(hook) + "\r\nservice-name=" + utf8(service.name()) + "\r\n");
    ASSERT_TRUE(service.start({})) << GetLastError();
    for (int i = 0; i < 3000 && !pathExists(hook + L".running"); ++i) {
        Sleep(10);
    }
    ASSERT_TRUE(pathExists(hook + L".running")) << readFileBytes(app.path(L"tavrin.service.log"));
    ASSERT_TRUE(service.stop()) << GetLastError();
    const SERVICE_STATUS stopped = service.waitFor(SERVICE_STOPPED, 30000);
    EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(pathExists(hook) ? readFileBytes(hook) : "", "shutdown hook ran")
        << readFileBytes(app.path(L"tavrin.service.log"));
}

} // namespace
