#pragma once

#include "platform/unique_handle.h"

#include <windows.h>

#include <string>

// A named mutex of this session, owned as often as it was acquired and
// released that often, then closed, when its owner goes.
class NamedMutex {
public:
    NamedMutex() = default;
    ~NamedMutex() { release(); }
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    enum class Opened { created, existed, failed };

    // Creates a_name, owning it when a_takeOwnership and the mutex is new, or
    // opens the existing one (not owned). failed: the name cannot be used
    // for a mutex (another kind of object has it, or it is not valid).
    Opened open(const std::wstring& a_name, bool a_takeOwnership);

    enum class Acquired { owned, timedOut, failed };

    // Waits up to a_timeoutMs for ownership; owned also when the previous
    // owner ended without releasing it.
    Acquired acquire(DWORD a_timeoutMs);

    bool held() const { return static_cast<bool>(m_handle); }
    HANDLE handle() const { return m_handle.get(); }

    // Releases every ownership this process holds, and closes the handle.
    void release();

private:
    UniqueHandle m_handle;
    int m_ownership = 0;
};
