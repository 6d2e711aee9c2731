/* A Windows-side jli.dll that runs the machine's own JVM inside the Windows
 * process that calls its JLI_Launch, as a Java runtime for Windows does.
 *
 * Built with winegcc as a winelib DLL (jli.dll.so, found through
 * WINEDLLPATH, with a placeholder jli.dll beside the bridge's java.exe). Its
 * JLI_Launch loads libjli.so of the JDK that /usr/bin/java resolves to and
 * calls its JLI_Launch with the same arguments, Windows paths turned into
 * Unix ones (see unix_arguments.h). The JVM writes to the Unix descriptors
 * 0 to 2, so they are made the files or pipes the Windows standard handles
 * are. It returns the JVM's exit code, or the process ends inside with the
 * code of System.exit, as with a Windows runtime.
 */
#include "unix_arguments.h"

#include <windows.h>

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

/* Exported by Wine's ntdll. */
extern NTSTATUS CDECL wine_server_handle_to_fd(HANDLE handle, unsigned int access, int* unix_fd,
                                               unsigned int* options);

typedef int (*unix_launch)(int argc, char** argv, int jargc, const char** jargv, int appclassc,
                           const char** appclassv, const char* fullversion,
                           const char* dotversion, const char* pname, const char* lname,
                           unsigned char javaargs, unsigned char cpwildcard, unsigned char javaw,
                           int ergo);

/* System.exit ends the JVM with the C library's exit() on a thread Wine does
 * not know, which would end the Windows process with exit code 0. So while
 * the JVM runs, the exit is held in on_exit(), its status handed to a Wine
 * thread, and that one ends the process with ExitProcess and that code, as
 * a Windows runtime's exit() does. */
static volatile int jvm_running = 0;
static volatile int exit_status = 0;
static volatile int exit_requested = 0;

static void hold_jvm_exit(int status, void* unused) {
    (void)unused;
    if (!jvm_running) {
        return;
    }
    exit_status = status;
    exit_requested = 1;
    for (;;) {
        pause();
    }
}

struct launch_call {
    unix_launch launch;
    int argc;
    char** argv;
    int jargc;
    const char** jargv;
    int appclassc;
    const char** appclassv;
    const char* fullversion;
    const char* dotversion;
    const char* pname;
    const char* lname;
    int javaargs;
    int cpwildcard;
    int javaw;
    int ergo;
};

static DWORD WINAPI run_jvm(void* argument) {
    struct launch_call* c = argument;
    return (DWORD)c->launch(c->argc, c->argv, c->jargc, c->jargv, c->appclassc, c->appclassv,
                            c->fullversion, c->dotversion, c->pname, c->lname,
                            (unsigned char)c->javaargs, (unsigned char)c->cpwildcard,
                            (unsigned char)c->javaw, c->ergo);
}

/* The Unix descriptor becomes what the Windows standard handle is. */
static void take_stream(DWORD which, unsigned int access, int unix_fd) {
    int fd = -1;
    if (wine_server_handle_to_fd(GetStdHandle(which), access, &fd, NULL) == 0) {
        dup2(fd, unix_fd);
        close(fd);
    }
}

int WINAPI JLI_Launch(int argc, char** argv, int jargc, const char** jargv, int appclassc,
                      const char** appclassv, const char* fullversion, const char* dotversion,
                      const char* pname, const char* lname, int javaargs, int cpwildcard,
                      int javaw, int ergo) {
    /* .../bin/java of the machine's JDK, and .../lib/libjli.so beside bin. */
    char java[PATH_MAX];
    char library[PATH_MAX + 16];
    if (realpath("/usr/bin/java", java) == NULL) {
        return 125;
    }
    strcpy(library, java);
    *strrchr(library, '/') = '\0';
    strcpy(strrchr(library, '/'), "/lib/libjli.so");
    void* jli = dlopen(library, RTLD_NOW | RTLD_GLOBAL);
    unix_launch launch = jli != NULL ? (unix_launch)dlsym(jli, "JLI_Launch") : NULL;
    if (launch == NULL) {
        return 126;
    }
    char** args = calloc(argc + 1, sizeof *args);
    args[0] = java;
    for (int i = 1; i < argc; ++i) {
        int size = MultiByteToWideChar(CP_ACP, 0, argv[i], -1, NULL, 0);
        WCHAR* wide = calloc(size, sizeof *wide);
        MultiByteToWideChar(CP_ACP, 0, argv[i], -1, wide, size);
        args[i] = unix_argument(wide);
        free(wide);
    }
    take_stream(STD_INPUT_HANDLE, GENERIC_READ, 0);
    take_stream(STD_OUTPUT_HANDLE, GENERIC_WRITE, 1);
    take_stream(STD_ERROR_HANDLE, GENERIC_WRITE, 2);
    struct launch_call call = {launch,     argc,       args,       jargc,    jargv,
                               appclassc,  appclassv,  fullversion, dotversion, pname,
                               lname,      javaargs,   cpwildcard, javaw,    ergo};
    on_exit(hold_jvm_exit, NULL);
    jvm_running = 1;
    HANDLE thread = CreateThread(NULL, 0, run_jvm, &call, 0, NULL);
    for (;;) {
        if (exit_requested) {
            ExitProcess((UINT)exit_status);
        }
        if (WaitForSingleObject(thread, 10) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeThread(thread, &code);
            jvm_running = 0;
            return (int)code;
        }
    }
}
