#pragma once

#include "platform/unique_handle.h"

#include <windows.h>

#include <string>

// A running process, kept under a name in a small block of named shared
// memory for other processes of the session to find: its id and its start
// time, which together tell it apart from a later process that got the same
// id. The block exists while any process holds a handle to it; none is
// inheritable, so the process it names keeps it by being given one
// (giveHandleTo), and programs that process starts do not.
class ProcessRecord {
public:
    // Creates the block (naming no process until set); false when the name
    // cannot be used.
    bool create(const std::wstring& a_name);
    bool created() const { return static_cast<bool>(m_mapping); }

    // Records a_process (a handle with query rights), and gives it a handle
    // to the block, so that the record lasts as long as it runs (this
    // process, the application itself, keeps its own). Nothing happens when
    // the block was not created.
    void set(HANDLE a_process);

    // The id of the process recorded under a_name, when that very process
    // still runs; 0 otherwise.
    static DWORD read(const std::wstring& a_name);

private:
    UniqueHandle m_mapping;
};

// Gives a_process a handle of its own to a_object, not inheritable: it lasts
// until that process ends, and no program it starts gets it.
bool giveHandleTo(HANDLE a_process, HANDLE a_object);

// A process's start time; 0 when it cannot be read.
ULONGLONG processStartTime(HANDLE a_process);
