#include "platform/process_record.h"

namespace {

// What the block holds: the start time is written before the id, so that a
// reader that sees an id sees its time.
struct Record {
    volatile LONG processId;
    volatile LONG64 startTime;
};

// A view of the block, unmapped when it goes.
class View {
public:
    View(HANDLE a_mapping, DWORD a_access)
        : m_address(
              static_cast<Record*>(MapViewOfFile(a_mapping, a_access, 0, 0, sizeof(Record)))) {}
    ~View() {
        if (m_address != nullptr) {
            UnmapViewOfFile(m_address);
        }
    }
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    Record* get() const { return m_address; }

private:
    Record* m_address;
};

} // namespace

bool ProcessRecord::create(const std::wstring& a_name) {
    m_mapping.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                       sizeof(Record), a_name.c_str()));
    return static_cast<bool>(m_mapping);
}

void ProcessRecord::set(HANDLE a_process) {
    if (!m_mapping) {
        return;
    }
    const View view(m_mapping.get(), FILE_MAP_WRITE);
    if (view.get() == nullptr) {
        return;
    }
    InterlockedExchange64(&view.get()->startTime, static_cast<LONG64>(processStartTime(a_process)));
    InterlockedExchange(&view.get()->processId, static_cast<LONG>(GetProcessId(a_process)));
    if (GetProcessId(a_process) != GetCurrentProcessId()) {
        // Without it, the record ends with the launcher: no matter.
        giveHandleTo(a_process, m_mapping.get());
    }
}

DWORD ProcessRecord::read(const std::wstring& a_name) {
    const UniqueHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, a_name.c_str()));
    if (!mapping) {
        return 0;
    }
    const View view(mapping.get(), FILE_MAP_READ);
    if (view.get() == nullptr) {
        return 0;
    }
    const DWORD processId = static_cast<DWORD>(view.get()->processId);
    const ULONGLONG startTime = static_cast<ULONGLONG>(view.get()->startTime);
    if (processId == 0) {
        return 0;
    }
    const UniqueHandle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, processId));
    const bool running = process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
    return running && processStartTime(process.get()) == startTime ? processId : 0;
}

bool giveHandleTo(HANDLE a_process, HANDLE a_object) {
    HANDLE copy = nullptr; // the other process's: closed when it ends
    return DuplicateHandle(GetCurrentProcess(), a_object, a_process, &copy, 0, FALSE,
                           DUPLICATE_SAME_ACCESS) != 0;
}

ULONGLONG processStartTime(HANDLE a_process) {
    FILETIME created{};
    FILETIME exited{};
    FILETIME kernel{};
    FILETIME user{};
    if (!GetProcessTimes(a_process, &created, &exited, &kernel, &user)) {
        return 0;
    }
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}
