#pragma once

#include <string>

// What a JAR holds, cheaply: a digest of its central directory (every
// entry's name, CRC-32 and sizes), found from its end record, so that a JAR
// rebuilt with the same size and time, which the JVM takes for the same,
// tells itself apart. "-" for a file that is no ZIP; for a directory too
// large to read at once (over 16 MiB), its end record alone.
std::wstring jarDigest(const std::wstring& a_path);
