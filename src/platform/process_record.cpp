#include "platform/process_record.h"

namespace {

// A view of the block, unmapped when it goes.
class View {
public:
    View(HANDLE a_mapping, DWORD a_access)
        : m_address(
              static_cast<volatile LONG*>(MapViewOfFile(a_mapping, a_access, 0, 0, sizeof(LONG)))) {
    }
    ~View() {
        if (m_address != nullptr) {
            UnmapViewOfFile(const_cast<LONG*>(m_address));
        }
    }
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    volatile LONG* get() const { return m_address; }

private:
    volatile LONG* m_address;
};

} // namespace

bool ProcessRecord::create(const std::wstring& a_name) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    m_mapping.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, &inheritable, PAGE_READWRITE, 0,
                                       sizeof(LONG), a_name.c_str()));
    return static_cast<bool>(m_mapping);
}

void ProcessRecord::set(DWORD a_processId) {
    if (!m_mapping) {
        return;
    }
    const View view(m_mapping.get(), FILE_MAP_WRITE);
    if (view.get() != nullptr) {
        InterlockedExchange(view.get(), static_cast<LONG>(a_processId));
    }
}

DWORD ProcessRecord::read(const std::wstring& a_name) {
    const UniqueHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, a_name.c_str()));
    if (!mapping) {
        return 0;
    }
    const View view(mapping.get(), FILE_MAP_READ);
    return view.get() != nullptr ? static_cast<DWORD>(*view.get()) : 0;
}
