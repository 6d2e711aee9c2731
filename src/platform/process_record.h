#pragma once

#include "platform/unique_handle.h"

#include <windows.h>

#include <string>

// A process id kept under a name in a small block of named shared memory, for
// other processes of the session to read. The block exists while any process
// holds a handle to it: an inheritable one passes to children started with
// inheritance, which keep it after its creator ends.
class ProcessRecord {
public:
    // Creates the block (its value 0 until set), inheritable; false when the
    // name cannot be used.
    bool create(const std::wstring& a_name);

    // Sets the value; nothing happens when the block was not created.
    void set(DWORD a_processId);

    // The value kept under a_name by another process; 0 when there is none.
    static DWORD read(const std::wstring& a_name);

private:
    UniqueHandle m_mapping;
};
