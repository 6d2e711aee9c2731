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
 * The JVM is /usr/bin/java, or the program that JAVA_BRIDGE_JVM names.
 */
#include <windows.h>

#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

/* Exported by Wine's kernel32. */
extern char* CDECL wine_get_unix_file_name(LPCWSTR dos);

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

static int is_windows_path(const WCHAR* arg) {
    return ((arg[0] >= 'A' && arg[0] <= 'Z') || (arg[0] >= 'a' && arg[0] <= 'z')) &&
           arg[1] == ':' && (arg[2] == '\\' || arg[2] == '/');
}

/* WCHAR is UTF-16 here; the C library's wide functions are not for it. */
static const WCHAR* find_semicolon(const WCHAR* text) {
    for (; *text != 0; ++text) {
        if (*text == ';') {
            return text;
        }
    }
    return NULL;
}

static char* utf8(const WCHAR* arg, int length) {
    int size = WideCharToMultiByte(CP_UTF8, 0, arg, length, NULL, 0, NULL, NULL);
    char* text = calloc(size + 1, 1);
    WideCharToMultiByte(CP_UTF8, 0, arg, length, text, size, NULL, NULL);
    return text;
}

/* One Windows path as a Unix one; Java's wildcard DIR\* stays a wildcard. */
static char* unix_path(const WCHAR* arg) {
    size_t length = (size_t)lstrlenW(arg);
    int wildcard = length >= 2 && arg[length - 1] == '*' && arg[length - 2] == '\\';
    WCHAR* path = calloc(length + 1, sizeof *path);
    memcpy(path, arg, (wildcard ? length - 2 : length) * sizeof *path);
    char* name = wine_get_unix_file_name(path);
    free(path);
    if (name == NULL) {
        return utf8(arg, -1);
    }
    /* Wine answers C:\... with .../dosdevices/c:/..., and the JVM would
     * split such a class path at its colon. */
    char* resolved = realpath(name, NULL);
    if (resolved != NULL) {
        name = resolved;
    }
    if (wildcard) {
        char* with_star = malloc(strlen(name) + 3);
        strcpy(with_star, name);
        strcat(with_star, "/*");
        return with_star;
    }
    return name;
}

static char* unix_argument(const WCHAR* arg) {
    if (!is_windows_path(arg)) {
        return utf8(arg, -1);
    }
    if (find_semicolon(arg) == NULL) {
        return unix_path(arg);
    }
    /* A path list: each entry converted, joined by ":". */
    size_t capacity = 1;
    char* joined = calloc(capacity, 1);
    const WCHAR* entry = arg;
    for (;;) {
        const WCHAR* end = find_semicolon(entry);
        size_t length = end != NULL ? (size_t)(end - entry) : (size_t)lstrlenW(entry);
        WCHAR* piece = calloc(length + 1, sizeof *piece);
        memcpy(piece, entry, length * sizeof *piece);
        char* converted = is_windows_path(piece) ? unix_path(piece) : utf8(piece, -1);
        free(piece);
        capacity += strlen(converted) + 1;
        joined = realloc(joined, capacity);
        if (*joined != '\0') {
            strcat(joined, ":");
        }
        strcat(joined, converted);
        if (end == NULL) {
            return joined;
        }
        entry = end + 1;
    }
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
