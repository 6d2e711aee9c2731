#include "launch/jar_digest.h"

#include "platform/text.h"
#include "platform/unique_handle.h"

#include <windows.h>

namespace {

// a_length bytes of a_file from a_from.
bool readAt(HANDLE a_file, LONGLONG a_from, std::size_t a_length, std::string& a_bytes) {
    a_bytes.assign(a_length, '\0');
    LARGE_INTEGER at{};
    at.QuadPart = a_from;
    DWORD read = 0;
    return SetFilePointerEx(a_file, at, nullptr, FILE_BEGIN) &&
           ReadFile(a_file, a_bytes.data(), static_cast<DWORD>(a_length), &read, nullptr) &&
           read == a_length;
}

unsigned long little32(const std::string& a_bytes, std::size_t a_at) {
    unsigned long value = 0;
    for (std::size_t i = 4; i-- > 0;) {
        value = value << 8 | static_cast<unsigned char>(a_bytes[a_at + i]);
    }
    return value;
}

} // namespace

std::wstring jarDigest(const std::wstring& a_path) {
    const UniqueFile file(CreateFileW(a_path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart < 22) {
        return L"-";
    }
    // The end record is the last 22 bytes, unless a comment (at most 64 KiB)
    // follows it; most directories fit in the first read.
    std::string tail;
    std::size_t end = std::string::npos;
    LONGLONG tailStart = 0;
    for (const LONGLONG want : {LONGLONG{16384}, LONGLONG{65557}}) {
        const LONGLONG length = size.QuadPart < want ? size.QuadPart : want;
        tailStart = size.QuadPart - length;
        if (!readAt(file.get(), tailStart, static_cast<std::size_t>(length), tail)) {
            return L"-";
        }
        end = tail.rfind(std::string("PK\x05\x06", 4));
        if ((end != std::string::npos && end + 22 <= tail.size()) || length == size.QuadPart) {
            break;
        }
    }
    if (end == std::string::npos || end + 22 > tail.size()) {
        return L"-";
    }
    const unsigned long length = little32(tail, end + 12);
    const LONGLONG begin = tailStart + static_cast<LONGLONG>(end) - static_cast<LONGLONG>(length);
    if (begin >= tailStart) {
        const std::size_t from = static_cast<std::size_t>(begin - tailStart);
        return hexDigits(fnv1aHash(tail.data() + from, tail.size() - from));
    }
    std::string directory;
    if (begin < 0 || length > 16 * 1024 * 1024 || !readAt(file.get(), begin, length, directory)) {
        return hexDigits(fnv1aHash(tail.data() + end, tail.size() - end)); // its end record alone
    }
    return hexDigits(fnv1aHash(directory.data(), directory.size()) ^
                     fnv1aHash(tail.data() + end, tail.size() - end));
}
