/* Arguments of a Windows program as a Unix JVM takes them: see
 * unix_arguments.h. */
#include "unix_arguments.h"

#include <stdlib.h>
#include <string.h>

/* Exported by Wine's kernel32. */
extern char* CDECL wine_get_unix_file_name(LPCWSTR dos);

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
     * split such a class path at its colon; a file yet to be made is
     * resolved by its folder. */
    char* resolved = realpath(name, NULL);
    char* slash = strrchr(name, '/');
    if (resolved == NULL && slash != NULL && slash != name) {
        *slash = 0;
        char* folder = realpath(name, NULL);
        *slash = '/';
        if (folder != NULL) {
            resolved = malloc(strlen(folder) + strlen(slash) + 1);
            strcpy(resolved, folder);
            strcat(resolved, slash);
        }
    }
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

/* -XX:Name=PATH, as the launcher passes its class-data archive. */
static const WCHAR* option_path(const WCHAR* arg) {
    if (arg[0] != '-' || arg[1] != 'X' || arg[2] != 'X' || arg[3] != ':') {
        return NULL;
    }
    for (const WCHAR* at = arg + 4; *at != 0; ++at) {
        if (*at == '=') {
            return is_windows_path(at + 1) ? at + 1 : NULL;
        }
    }
    return NULL;
}

char* unix_argument(const WCHAR* arg) {
    const WCHAR* path = option_path(arg);
    if (path != NULL) {
        char* name = utf8(arg, (int)(path - arg));
        char* converted = unix_path(path);
        char* whole = malloc(strlen(name) + strlen(converted) + 1);
        strcpy(whole, name);
        strcat(whole, converted);
        return whole;
    }
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

