// Measures what the launcher costs on top of the least a start could cost:
// starting the same two Java processes (the version check and the launch)
// directly, with the same redirections.
//
//   benchmark LAUNCHER FAKE_JAVA EMPTY_PROGRAM BRIDGE_FOLDER DEMO_JAR RUNS MARKER
//
// (a) tavrin.exe, wait-for-exit=1, a stand-in runtime that answers at once
// (b) this program starting the same stand-in twice, as the launcher does
// (c) (a) and (b) with the machine's own JVM through the Java bridge
// (d) an empty GUI program: what starting any program costs here
// (e) (a) with the optional keys set: java-options, max-java-version,
//     find-installed-java, and pass-arguments with an argument passed on
// (f) tavrin.exe with read-java-release=1 and the real JVM, against this
//     program starting only the application's JVM, in (c)'s rounds
// (g) (f) with in-process=1: the JVM in the launcher's own process, through
//     the bridge's jli.dll, in the same rounds
// (h) tavrin.exe with class-data-sharing=1 and read-java-release=1 (its
//     archive made in the warm-up round), against this program starting the
//     same JVM directly: the JDK's compiler compiling one small file, and the
//     demo; the first start's cost, which makes the archive, apart
// Then one launcher that waits a few seconds for its application, while the
// file MARKER exists (so that its memory can be read from outside), and
// whether anything in the application folders is left open. Prints Markdown.
#include "launch/class_data.h"
#include "platform/paths.h"
#include "process/process_executor.h"
#include "settings/settings.h"
#include "test_support.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace testing_support;

double now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

struct Timing {
    double median, min, max;
};

Timing summary(std::vector<double> a_times) {
    std::sort(a_times.begin(), a_times.end());
    const std::size_t n = a_times.size();
    const double median = n % 2 == 1 ? a_times[n / 2] : (a_times[n / 2 - 1] + a_times[n / 2]) / 2;
    return Timing{median, a_times.front(), a_times.back()};
}

// Runs the candidates in turn, a_runs rounds after one warm-up round, so that
// a slow stretch of the machine weighs on all of them alike; each round starts
// with the next candidate, so that none always follows the same one (under
// Wine a start costs more or less by what ran just before it).
std::vector<Timing> measure(int a_runs, const std::vector<std::function<bool()>>& a_candidates) {
    std::vector<std::vector<double>> times(a_candidates.size());
    for (int round = 0; round <= a_runs; ++round) {
        for (std::size_t turn = 0; turn < a_candidates.size(); ++turn) {
            const std::size_t i = (turn + static_cast<std::size_t>(round)) % a_candidates.size();
            const double start = now();
            if (!a_candidates[i]()) {
                std::fprintf(stderr, "benchmark: a run failed\n");
                std::exit(1);
            }
            if (round > 0) {
                times[i].push_back(now() - start);
            }
        }
    }
    std::vector<Timing> timings;
    for (const std::vector<double>& candidate : times) {
        timings.push_back(summary(candidate));
    }
    return timings;
}

// One application folder with its settings, JAR and launcher.
struct Setup {
    std::wstring folder;
    std::wstring jar;
    std::string settings;
    std::wstring launcherArguments;
};

Setup applicationFolder(const ScratchFolder& a_scratch, const std::wstring& a_name,
                        const std::wstring& a_launcher, const std::wstring& a_jarSource,
                        const std::string& a_extraKeys = "") {
    Setup setup;
    setup.folder = a_scratch / a_name + L"\\";
    makeDirectories(setup.folder + L"lib");
    copyFileOrFail(a_launcher, setup.folder + L"tavrin.exe");
    setup.jar = setup.folder + L"lib\\app.jar";
    if (a_jarSource.empty()) {
        writeFileBytes(setup.jar, "PK\x03\x04");
    } else {
        copyFileOrFail(a_jarSource, setup.jar);
    }
    setup.settings = "[tavrin]\r\njar-file-name=lib\\app.jar\r\nmin-java-version=1.5\r\n"
                     "wait-for-exit=1\r\nask-for-java-location=0\r\nallow-newer-version=1\r\n" +
                     a_extraKeys;
    writeFileBytes(setup.folder + L"tavrin.ini", setup.settings);
    return setup;
}

// An application that names an update feed, with the updater beside its
// launcher (as the build puts it beside tavrin.exe).
Setup updatedFolder(const ScratchFolder& a_scratch, const std::wstring& a_name,
                    const std::wstring& a_launcher, const std::string& a_keys) {
    Setup setup = applicationFolder(a_scratch, a_name, a_launcher, L"", a_keys);
    copyFileOrFail(folderOf(a_launcher) + L"tavrin-update.exe",
                   setup.folder + L"tavrin-update.exe");
    return setup;
}

void useSearchPath(const std::wstring& a_javaFolder) {
    SetEnvironmentVariableW(L"PATH",
                            (a_javaFolder + L";C:\\windows\\system32;C:\\windows").c_str());
}

bool runLauncher(const Setup& a_setup) {
    ChildProcess launcher =
        startChild(quotedArgument(a_setup.folder + L"tavrin.exe") + a_setup.launcherArguments);
    return launcher.process && waitForChild(launcher, 60000) == 0;
}

// What the launcher starts, started directly, with the same redirection
// files beside the application.
// Only the application's JVM, as a start without a version check has it.
bool launchDirectly(const Setup& a_setup) {
    return executeProcess({L"java.exe -jar  \"" + a_setup.jar + L"\" ",
                           a_setup.folder + L"java.jar.run", false, true, INFINITE})
               .code == ProcessCode::succeeded;
}

bool runDirectly(const Setup& a_setup) {
    const ProcessResult check = executeProcess(
        {L"java -version", a_setup.folder + L"java.version.check", true, true, 3000});
    if (check.code != ProcessCode::succeeded || (check.output.empty() && check.error.empty())) {
        return false;
    }
    return executeProcess({L"java.exe -jar  \"" + a_setup.jar + L"\" ",
                           a_setup.folder + L"java.jar.run", false, true, INFINITE})
               .code == ProcessCode::succeeded;
}

// The JDK's compiler as an application, compiling one file: the launch
// line's arguments after the Java command.
std::wstring compilerArguments(const Setup& a_setup) {
    return L" --module \"jdk.compiler/com.sun.tools.javac.Main\"  \"-d\"  \"" + a_setup.folder +
           L"out\"  \"" + a_setup.folder + L"Hello.java\" ";
}

Setup compilerFolder(const ScratchFolder& a_scratch, const std::wstring& a_launcher) {
    Setup setup = applicationFolder(
        a_scratch, L"compiler app", a_launcher, L"",
        "read-java-release=1\r\nclass-data-sharing=1\r\nuser-settings=tavrin-compiler\r\n"
        "pass-arguments=1\r\n");
    setup.settings = "[tavrin]\r\nmodule=jdk.compiler/com.sun.tools.javac.Main\r\n"
                     "min-java-version=9\r\nwait-for-exit=1\r\nask-for-java-location=0\r\n"
                     "allow-newer-version=1\r\nread-java-release=1\r\nclass-data-sharing=1\r\n"
                     "user-settings=tavrin-compiler\r\npass-arguments=1\r\n";
    writeFileBytes(setup.folder + L"tavrin.ini", setup.settings);
    writeFileBytes(setup.folder + L"Hello.java",
                   "public class Hello { public static void main(String[] a) { "
                   "System.out.println(\"hello\"); } }\n");
    setup.launcherArguments =
        L" -d \"" + setup.folder + L"out\" \"" + setup.folder + L"Hello.java\"";
    return setup;
}

bool compileDirectly(const Setup& a_setup) {
    return executeProcess({L"java.exe" + compilerArguments(a_setup),
                           a_setup.folder + L"java.jar.run", false, true, INFINITE})
               .code == ProcessCode::succeeded;
}

// A launcher's first start: it makes the archive.
double firstStart(const Setup& a_setup) {
    const double start = now();
    if (!runLauncher(a_setup)) {
        std::fprintf(stderr, "benchmark: a first start failed\n");
        std::exit(1);
    }
    return now() - start;
}

struct Footprint {
    SIZE_T peakWorkingSet = 0;
    SIZE_T peakPrivate = 0;
};

// The launcher's memory as Windows reports it, sampled while it waits for an
// application that runs for a while; a_marker exists meanwhile.
Footprint footprint(const Setup& a_setup, const std::wstring& a_marker) {
    SetEnvironmentVariableW(L"FAKE_JAVA_RUN_MS", L"3000");
    writeFileBytes(a_marker, "");
    ChildProcess launcher = startChild(quotedArgument(a_setup.folder + L"tavrin.exe"));
    Footprint seen;
    while (WaitForSingleObject(launcher.process.get(), 5) == WAIT_TIMEOUT) {
        PROCESS_MEMORY_COUNTERS_EX counters{};
        counters.cb = sizeof counters;
        if (GetProcessMemoryInfo(launcher.process.get(),
                                 reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                 sizeof counters)) {
            seen.peakWorkingSet = std::max(seen.peakWorkingSet, counters.PeakWorkingSetSize);
            seen.peakPrivate = std::max(seen.peakPrivate, counters.PrivateUsage);
        }
    }
    waitForChild(launcher, 60000);
    DeleteFileW(a_marker.c_str());
    SetEnvironmentVariableW(L"FAKE_JAVA_RUN_MS", nullptr);
    return seen;
}

// Files nobody holds open can be deleted; the others are named.
std::vector<std::wstring> filesLeftOpen(const std::wstring& a_folder) {
    std::vector<std::wstring> open;
    for (const std::wstring& name : filesMatching(a_folder + L"*")) {
        if (!DeleteFileW((a_folder + name).c_str())) {
            open.push_back(name);
        }
    }
    return open;
}

void printTiming(const char* a_name, const Timing& a_timing) {
    std::printf("| %s | %.1f | %.1f | %.1f |\n", a_name, a_timing.median, a_timing.min,
                a_timing.max);
}

std::string mebibytes(SIZE_T a_bytes) {
    if (a_bytes == 0) {
        return "not reported by Wine";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.2f MiB", static_cast<double>(a_bytes) / 1048576.0);
    return text;
}

// (i) What the archive's digest costs a start: the inputs of a class path
// of 400 JARs (copies of the demo's), each file's facts and central
// directory read, after one warm-up.
Timing inputsOf400Jars(const ScratchFolder& a_scratch, const std::wstring& a_demoJar, int a_runs) {
    const std::wstring lib = a_scratch / L"400 jars\\";
    makeDirectories(lib);
    for (int i = 0; i < 400; ++i) {
        copyFileOrFail(a_demoJar, lib + L"dep" + std::to_wstring(i) + L".jar");
    }
    LauncherSettings settings;
    settings.start = LauncherSettings::Start::mainClass;
    settings.mainClass = L"DemoApp";
    settings.classPath = {lib + L"*"};
    std::vector<double> times;
    for (int run = 0; run <= a_runs; ++run) {
        const double start = now();
        const std::wstring inputs = classDataInputs(a_demoJar, "", L"17.0", settings);
        if (run > 0 && !inputs.empty()) {
            times.push_back(now() - start);
        }
    }
    return summary(times);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 8) {
        std::fprintf(stderr, "usage: benchmark LAUNCHER FAKE_JAVA EMPTY_PROGRAM BRIDGE_FOLDER "
                             "DEMO_JAR RUNS MARKER\n");
        return 2;
    }
    const std::wstring launcher = argv[1], fakeJava = argv[2], emptyProgram = argv[3],
                       bridge = argv[4], demoJar = argv[5], marker = argv[7];
    const int runs = std::max(1, _wtoi(argv[6]));

    ScratchFolder scratch(L"tavrin-benchmark");
    const std::wstring standInFolder = scratch / L"java";
    makeDirectories(standInFolder);
    copyFileOrFail(fakeJava, standInFolder + L"\\java.exe");
    const Setup standIn = applicationFolder(scratch, L"stand-in app", launcher, L"");
    const Setup real = applicationFolder(scratch, L"real app", launcher, demoJar);
    const Setup released =
        applicationFolder(scratch, L"release app", launcher, demoJar, "read-java-release=1\r\n");
    const Setup inProcess = applicationFolder(scratch, L"in-process app", launcher, demoJar,
                                              "read-java-release=1\r\nin-process=1\r\n");
    Setup newKeys = applicationFolder(scratch, L"new keys app", launcher, L"",
                                      "java-options=-Xmx64m -Dhome=\"%TEMP%\\x y\"\r\n"
                                      "max-java-version=99\r\nfind-installed-java=1\r\n"
                                      "pass-arguments=1\r\n");
    newKeys.launcherArguments = L" \"C:\\Users\\Ana\\plan 2026.xml\"";
    // A feed whose check is not due (it began now, and is made every 8760
    // hours), and one due at every start; the updater beside the launcher,
    // its feed on a port nobody listens on.
    SetEnvironmentVariableW(L"LOCALAPPDATA", (scratch / L"local").c_str());
    const std::string feed = "update-feed=http://127.0.0.1:9/none.update\r\n"
                             "update-key=MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE\r\n";
    const Setup notDue =
        updatedFolder(scratch, L"not due", launcher,
                      feed + "update-check-hours=8760\r\nuser-settings=not due\r\n");
    makeDirectories(scratch / L"local\\not due\\updates");
    writeFileBytes(scratch / L"local\\not due\\updates\\last-check", "");
    const Setup due = updatedFolder(scratch, L"due", launcher,
                                    feed + "update-check-hours=0\r\nuser-settings=due\r\n");
    const Setup compiler = compilerFolder(scratch, launcher);
    const Setup archivedDemo = applicationFolder(scratch, L"archived app", launcher, demoJar,
                                                 "read-java-release=1\r\nclass-data-sharing=1\r\n"
                                                 "user-settings=tavrin-demo\r\n");

    useSearchPath(standInFolder);
    const auto emptyRun = [&] {
        ChildProcess empty = startChild(quotedArgument(emptyProgram));
        return empty.process && waitForChild(empty, 60000) == 0;
    };
    const std::vector<Timing> standInTimes =
        measure(runs, {[&] { return runLauncher(standIn); }, [&] { return runDirectly(standIn); },
                       emptyRun, [&] { return runLauncher(newKeys); },
                       [&] { return runLauncher(notDue); }, [&] { return runLauncher(due); }});
    const Timing &a = standInTimes[0], &b = standInTimes[1], &d = standInTimes[2],
                 &e = standInTimes[3], &j = standInTimes[4], &k = standInTimes[5];
    useSearchPath(bridge);
    const std::vector<Timing> realTimes = measure(
        runs, {[&] { return runLauncher(real); }, [&] { return runDirectly(real); },
               [&] { return runLauncher(released); }, [&] { return launchDirectly(released); },
               [&] { return runLauncher(inProcess); }});
    const Timing &ca = realTimes[0], &cb = realTimes[1], &fa = realTimes[2], &fb = realTimes[3],
                 &g = realTimes[4];
    const double compilerFirst = firstStart(compiler);
    const double demoFirst = firstStart(archivedDemo);
    const std::vector<Timing> archiveTimes = measure(
        runs,
        {[&] { return runLauncher(compiler); }, [&] { return compileDirectly(compiler); },
         [&] { return runLauncher(archivedDemo); }, [&] { return launchDirectly(archivedDemo); }});
    const Timing &ha = archiveTimes[0], &hb = archiveTimes[1], &hc = archiveTimes[2],
                 &hd = archiveTimes[3];
    const Timing inputs = inputsOf400Jars(scratch, demoJar, runs);
    useSearchPath(standInFolder);
    const Footprint memory = footprint(standIn, marker);

    std::printf("Runs per row: %d, taken in turn with the other rows of their group (each round "
                "starting with the next row), after one "
                "warm-up round.\n\n",
                runs);
    std::printf("| What | median ms | min ms | max ms |\n|---|---|---|---|\n");
    printTiming("(a) tavrin.exe, stand-in runtime", a);
    printTiming("(b) the same two processes started directly", b);
    printTiming("(c) tavrin.exe, real JVM", ca);
    printTiming("(c) the same two processes started directly, real JVM", cb);
    printTiming("(d) an empty GUI program", d);
    printTiming("(e) tavrin.exe, stand-in runtime, every optional key set", e);
    printTiming("(f) tavrin.exe, real JVM, read-java-release=1", fa);
    printTiming("(f) the application's JVM alone, started directly", fb);
    printTiming("(g) tavrin.exe, real JVM, read-java-release=1, in-process=1", g);
    printTiming("(h) tavrin.exe, the JDK's compiler, class-data-sharing=1", ha);
    printTiming("(h) the JDK's compiler, started directly", hb);
    printTiming("(h) tavrin.exe, the demo, class-data-sharing=1", hc);
    printTiming("(h) the demo's JVM, started directly", hd);
    printTiming("(i) the archive's inputs of a 400-JAR class path", inputs);
    printTiming("(j) tavrin.exe, stand-in runtime, update-feed, no check due", j);
    printTiming("(k) tavrin.exe, stand-in runtime, update-feed, a check at every start", k);
    std::printf("\n| Result | Value | Target |\n|---|---|---|\n");
    std::printf("| (a)/(b), medians | %.2f | at most 1.15 |\n", a.median / b.median);
    std::printf("| (a) - (b), medians | %.1f ms | |\n", a.median - b.median);
    std::printf("| (c) launcher overhead, medians | %.1f ms | |\n", ca.median - cb.median);
    std::printf("| (e) - (a), medians: what the optional keys cost | %.1f ms | not measurable |\n",
                e.median - a.median);
    std::printf("| (f) launcher with read-java-release=1 / the JVM alone, medians | %.2f | at "
                "most 1.15 |\n",
                fa.median / fb.median);
    std::printf("| (g) in process / (f) out of process, medians | %.2f | |\n",
                g.median / fa.median);
    std::printf("| (g) in process / the JVM alone, medians | %.2f | 1.00: nothing beyond the "
                "JVM |\n",
                g.median / fb.median);
    std::printf("| (h) the compiler with its archive / started directly, medians | %.2f | at most "
                "0.75 |\n",
                ha.median / hb.median);
    std::printf("| (h) the demo with its archive / started directly, medians | %.2f | |\n",
                hc.median / hd.median);
    std::printf("| (h) first start, which makes the archive: the compiler, the demo | %.0f ms, "
                "%.0f ms | |\n",
                compilerFirst, demoFirst);
    std::printf("| (i) the archive's digest of a 400-JAR class path, median | %.1f ms | below 5 ms "
                "|\n",
                inputs.median);
    std::printf("| (j) - (a), medians: update-feed with no check due | %.1f ms | at most 1 ms |\n",
                j.median - a.median);
    std::printf("| (k) - (a), medians: a check started once the application runs | %.1f ms | "
                "|\n",
                k.median - a.median);
    std::printf("| peak working set (GetProcessMemoryInfo) | %s | |\n",
                mebibytes(memory.peakWorkingSet).c_str());
    std::printf("| peak private bytes (GetProcessMemoryInfo) | %s | at most 4 MiB |\n",
                mebibytes(memory.peakPrivate).c_str());
    std::vector<std::wstring> open = filesLeftOpen(standIn.folder);
    for (const Setup* other : {&real, &released, &inProcess, static_cast<const Setup*>(&newKeys),
                               &compiler, &archivedDemo, &notDue, &due}) {
        const std::vector<std::wstring> more = filesLeftOpen(other->folder);
        open.insert(open.end(), more.begin(), more.end());
    }
    std::string names;
    for (const std::wstring& name : open) {
        names += (names.empty() ? "" : ", ") + utf8(name);
    }
    std::printf("| files left open after the runs | %s | none |\n",
                open.empty() ? "none" : names.c_str());
    return 0;
}
