#include "process/output_log.h"

#include "platform/text.h"

#include <algorithm>

bool OutputLog::open() {
    m_handle.reset(CreateFileW(m_file.path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    FILE_STANDARD_INFO facts{};
    m_size = m_handle && GetFileInformationByHandleEx(m_handle.get(), FileStandardInfo, &facts,
                                                      sizeof facts)
                 ? static_cast<unsigned long long>(facts.EndOfFile.QuadPart)
                 : 0;
    return static_cast<bool>(m_handle);
}

void OutputLog::write(const char* a_bytes, std::size_t a_size) {
    while (a_size > 0) {
        if (!m_handle && !open()) {
            return;
        }
        const char* const end = a_bytes + a_size;
        const char* const lineEnd = std::find(a_bytes, end, '\n');
        const std::size_t piece = static_cast<std::size_t>(lineEnd - a_bytes) + (lineEnd != end);
        DWORD written = 0;
        WriteFile(m_handle.get(), a_bytes, static_cast<DWORD>(piece), &written, nullptr);
        m_size += written;
        if (lineEnd != end && m_size >= m_file.rotateBytes) {
            rotate();
        }
        a_bytes += piece;
        a_size -= piece;
    }
}

// Renames that fail (a reader that shares no deletion) leave the file to
// grow until the next line's end tries again.
void OutputLog::rotate() {
    m_handle.reset();
    const auto older = [this](unsigned long a_number) {
        return m_file.path + formatWideString(L".%lu", a_number);
    };
    if (m_file.keep == 0) {
        DeleteFileW(m_file.path.c_str());
    } else {
        DeleteFileW(older(m_file.keep).c_str()); // absent until keep rotations have been
        for (unsigned long number = m_file.keep - 1; number >= 1; --number) {
            MoveFileExW(older(number).c_str(), older(number + 1).c_str(),
                        MOVEFILE_REPLACE_EXISTING);
        }
        MoveFileExW(m_file.path.c_str(), older(1).c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    open();
}
