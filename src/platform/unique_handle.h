#pragma once

#include <windows.h>

#include <utility>

// Move-only owner of one Windows handle. The empty value is part of the
// traits, because file handles use INVALID_HANDLE_VALUE where every other
// kernel handle uses null. Closing keeps GetLastError intact, so a caller may
// release its handles before reporting the error that made it give up.
template <typename Traits> class UniqueResource {
public:
    using Type = typename Traits::Type;

    UniqueResource() noexcept = default;
    explicit UniqueResource(Type a_value) noexcept : m_value(a_value) {}
    ~UniqueResource() { reset(); }

    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& a_other) noexcept : m_value(a_other.release()) {}
    UniqueResource& operator=(UniqueResource&& a_other) noexcept {
        if (this != &a_other) {
            reset(a_other.release());
        }
        return *this;
    }

    Type get() const noexcept { return m_value; }
    explicit operator bool() const noexcept { return m_value != Traits::empty(); }

    Type release() noexcept { return std::exchange(m_value, Traits::empty()); }

    void reset(Type a_value = Traits::empty()) noexcept {
        Type old = std::exchange(m_value, a_value);
        if (old != Traits::empty()) {
            const DWORD lastError = GetLastError();
            Traits::close(old);
            SetLastError(lastError);
        }
    }

private:
    Type m_value = Traits::empty();
};

struct KernelHandleTraits {
    using Type = HANDLE;
    static HANDLE empty() noexcept { return nullptr; }
    static void close(HANDLE a_handle) noexcept { CloseHandle(a_handle); }
};

struct FileHandleTraits {
    using Type = HANDLE;
    static HANDLE empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE a_handle) noexcept { CloseHandle(a_handle); }
};

// Process, thread, mutex and other kernel objects: empty is null.
using UniqueHandle = UniqueResource<KernelHandleTraits>;
// Files from CreateFileW: empty is INVALID_HANDLE_VALUE.
using UniqueFile = UniqueResource<FileHandleTraits>;

// Takes a handle from an API that may report failure either way.
inline UniqueFile adoptFileHandle(HANDLE a_handle) noexcept {
    return UniqueFile(a_handle == nullptr ? INVALID_HANDLE_VALUE : a_handle);
}

// A started process: both handles of PROCESS_INFORMATION, closed together.
class UniqueProcess {
public:
    UniqueProcess() noexcept = default;
    explicit UniqueProcess(const PROCESS_INFORMATION& a_started) noexcept
        : m_process(a_started.hProcess), m_thread(a_started.hThread), m_id(a_started.dwProcessId) {}

    HANDLE process() const noexcept { return m_process.get(); }
    HANDLE thread() const noexcept { return m_thread.get(); }
    DWORD id() const noexcept { return m_id; }

private:
    UniqueHandle m_process;
    UniqueHandle m_thread;
    DWORD m_id = 0;
};
