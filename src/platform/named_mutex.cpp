#include "platform/named_mutex.h"

NamedMutex::Opened NamedMutex::open(const std::wstring& a_name, bool a_takeOwnership) {
    release();
    // The name as given, with no prefix.
    const HANDLE mutex = CreateMutexW(nullptr, a_takeOwnership ? TRUE : FALSE, a_name.c_str());
    // Read before anything else can change it.
    const DWORD createError = GetLastError();
    m_handle.reset(mutex);
    if (!m_handle) {
        return Opened::failed;
    }
    if (createError == ERROR_ALREADY_EXISTS) {
        return Opened::existed; // not owned, whatever was asked
    }
    m_ownership = a_takeOwnership ? 1 : 0;
    return Opened::created;
}

NamedMutex::Acquired NamedMutex::acquire(DWORD a_timeoutMs) {
    const DWORD waited = m_handle ? WaitForSingleObject(m_handle.get(), a_timeoutMs) : WAIT_FAILED;
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
        ++m_ownership;
        return Acquired::owned;
    }
    return waited == WAIT_TIMEOUT ? Acquired::timedOut : Acquired::failed;
}

void NamedMutex::release() {
    for (; m_ownership > 0; --m_ownership) {
        ReleaseMutex(m_handle.get()); // nothing to do when it fails
    }
    m_handle.reset();
}
