#pragma once

#include "platform/unique_handle.h"

#include <cstddef>
#include <string>

// One file for a child's standard output and error, appended to across
// runs and rotated by size. Empty path: none.
struct OutputLogFile {
    std::wstring path;
    unsigned long long rotateBytes = 0;
    unsigned long keep = 0; // older files, path.1 (the newest) to path.<keep>
};

// Writes what comes, as it comes. Once the file holds rotateBytes, it
// becomes path.1 at the end of a line (path.1 becoming path.2, and so on,
// the oldest dropped), so that every line stays whole in one file. Readers
// and the rotation of another run may open it meanwhile.
class OutputLog {
public:
    explicit OutputLog(const OutputLogFile& a_file) : m_file(a_file) {}

    // False when the file cannot be opened for appending.
    bool open();
    // A write that fails (a full disk) loses those bytes, not the run.
    void write(const char* a_bytes, std::size_t a_size);

private:
    void rotate();

    const OutputLogFile& m_file;
    UniqueFile m_handle;
    unsigned long long m_size = 0;
};
