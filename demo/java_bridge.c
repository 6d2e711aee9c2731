/* A Windows-side java.exe that runs the machine's own Java runtime.
 *
 * Built with winegcc as a winelib program: a Windows process (the launcher)
 * starts it with a real process handle and redirected standard handles, and
 * it runs the Unix JVM with the same arguments. The Unix standard streams of
 * a winelib program are not its Windows standard handles, so the JVM's
 * streams go through pipes that this program copies to and from the Windows
 * handles. Arguments that are Windows paths (C:\..., Z:\...) become Unix
 * paths, which the JVM can open; so do the entries of a Windows class or
 * module path (joined by ";", each a path or Java's wildcard DIR\*), joined
 * by ":" as a Unix JVM reads them. The JVM's exit code is this program's.
 *
 * Ctrl+C and Ctrl+Break on this program's console reach the JVM as SIGINT,
 * as a terminal's would, so that its shutdown hooks run.
 *
 * The JVM is /usr/bin/java, or the program that JAVA_BRIDGE_JVM names.
 */
#include "unix_arguments.h"

#include <windows.h>

#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

struct pump {
    int unix_fd;
    HANDLE windows_handle;
};

/* JVM output to a Windows handle. */
static DWORD WINAPI copy_to_windows(void* arg) {
    struct pump* p = arg;
    char buffer[4096];
    ssize_t got;
    while ((got = read(p->unix_fd, buffer, sizeof buffer)) > 0) {
        DWORD written = 0;
        if (!WriteFile(p->windows_handle, buffer, (DWORD)got, &written, NULL)) {
            break;
        }
    }
    close(p->unix_fd);
    return 0;
}

/* A Windows handle to the JVM's input, closed at its end. */
static DWORD WINAPI copy_to_unix(void* arg) {
    struct pump* p = arg;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(p->windows_handle, buffer, sizeof buffer, &got, NULL) && got > 0) {
        if (write(p->unix_fd, buffer, got) != (ssize_t)got) {
            break;
        }
    }
    close(p->unix_fd);
    return 0;
}

static pid_t jvm_process;

/* The console event, on a thread of its own: the JVM ends in its time. */
static BOOL WINAPI forward_to_jvm(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    if (jvm_process > 0) {
        kill(jvm_process, SIGINT);
    }
    return TRUE;
}

int wmain(int argc, WCHAR** argv) {
    const char* jvm = getenv("JAVA_BRIDGE_JVM");
    if (jvm == NULL || *jvm == '\0') {
        jvm = "/usr/bin/java";
    }
    char** args = calloc(argc + 1, sizeof *args);
    args[0] = (char*)jvm;
    for (int i = 1; i < argc; ++i) {
        args[i] = unix_argument(argv[i]);
    }

    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) {
        return 125;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    for (int i = 0; i < 2; ++i) {
        posix_spawn_file_actions_addclose(&actions, in[i]);
        posix_spawn_file_actions_addclose(&actions, out[i]);
        posix_spawn_file_actions_addclose(&actions, err[i]);
    }
    pid_t child;
    if (posix_spawn(&child, jvm, &actions, NULL, args, environ) != 0) {
        return 126;
    }
    jvm_process = child;
    SetConsoleCtrlHandler(forward_to_jvm, TRUE);
    close(in[0]);
    close(out[1]);
    close(err[1]);

    struct pump input = {in[1], GetStdHandle(STD_INPUT_HANDLE)};
    struct pump output = {out[0], GetStdHandle(STD_OUTPUT_HANDLE)};
    struct pump error = {err[0], GetStdHandle(STD_ERROR_HANDLE)};
    HANDLE threads[3] = {CreateThread(NULL, 0, copy_to_unix, &input, 0, NULL),
                         CreateThread(NULL, 0, copy_to_windows, &output, 0, NULL),
                         CreateThread(NULL, 0, copy_to_windows, &error, 0, NULL)};

    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    /* Everything the JVM wrote is copied before this program ends; the
     * input copier may still wait for input nobody sends. */
    WaitForMultipleObjects(2, threads + 1, TRUE, INFINITE);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
