/* Arguments of a Windows program as a Unix JVM takes them, for the winelib
 * bridges to the machine's own Java runtime. */
#pragma once

#include <windows.h>

/* arg in UTF-8; a Windows path (C:\..., Z:\...) as a Unix path, which the
 * JVM can open; the entries of a Windows class or module path (joined by
 * ";", each a path or Java's wildcard DIR\*) as Unix ones joined by ":";
 * the path of an option -XX:Name=PATH likewise. */
char* unix_argument(const WCHAR* arg);
