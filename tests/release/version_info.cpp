// Prints a version resource (as wrestool -x -R --type=16 extracts it), one
// line each, UTF-8:
//   FileVersion:fixed=a.b.c.d
//   ProductVersion:fixed=a.b.c.d
//   NAME=VALUE            for every string of every string table
// Exit code 1 when the block is not a well-formed version resource.
//   version_info VERSION.BIN
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

struct Malformed {};

unsigned word(const Bytes& a_bytes, std::size_t a_at) {
    if (a_at + 2 > a_bytes.size()) {
        throw Malformed{};
    }
    return a_bytes[a_at] | (a_bytes[a_at + 1] << 8);
}

std::uint32_t dword(const Bytes& a_bytes, std::size_t a_at) {
    return word(a_bytes, a_at) | (static_cast<std::uint32_t>(word(a_bytes, a_at + 2)) << 16);
}

std::size_t aligned(std::size_t a_at) {
    return (a_at + 3) & ~static_cast<std::size_t>(3);
}

void appendUtf8(std::string& a_text, std::uint32_t a_code) {
    if (a_code < 0x80) {
        a_text += static_cast<char>(a_code);
    } else if (a_code < 0x800) {
        a_text += static_cast<char>(0xC0 | (a_code >> 6));
        a_text += static_cast<char>(0x80 | (a_code & 0x3F));
    } else if (a_code < 0x10000) {
        a_text += static_cast<char>(0xE0 | (a_code >> 12));
        a_text += static_cast<char>(0x80 | ((a_code >> 6) & 0x3F));
        a_text += static_cast<char>(0x80 | (a_code & 0x3F));
    } else {
        a_text += static_cast<char>(0xF0 | (a_code >> 18));
        a_text += static_cast<char>(0x80 | ((a_code >> 12) & 0x3F));
        a_text += static_cast<char>(0x80 | ((a_code >> 6) & 0x3F));
        a_text += static_cast<char>(0x80 | (a_code & 0x3F));
    }
}

// UTF-16 text from a_at up to its terminator or a_end; a_at is left after it.
std::string text(const Bytes& a_bytes, std::size_t& a_at, std::size_t a_end) {
    std::string utf8;
    while (a_at + 2 <= a_end) {
        std::uint32_t code = word(a_bytes, a_at);
        a_at += 2;
        if (code == 0) {
            break;
        }
        if (code >= 0xD800 && code < 0xDC00 && a_at + 2 <= a_end) {
            code = 0x10000 + ((code - 0xD800) << 10) + (word(a_bytes, a_at) - 0xDC00);
            a_at += 2;
        }
        appendUtf8(utf8, code);
    }
    return utf8;
}

std::string fixedVersion(std::uint32_t a_high, std::uint32_t a_low) {
    return std::to_string(a_high >> 16) + "." + std::to_string(a_high & 0xFFFF) + "." +
           std::to_string(a_low >> 16) + "." + std::to_string(a_low & 0xFFFF);
}

// One node: length, value length, type, key, value, children. a_depth 0 is
// VS_VERSIONINFO, 1 StringFileInfo or VarFileInfo, 2 a string table, 3 a
// string.
void readNode(const Bytes& a_bytes, std::size_t a_at, int a_depth, bool a_inStrings) {
    const std::size_t end = a_at + word(a_bytes, a_at);
    const unsigned valueLength = word(a_bytes, a_at + 2);
    if (end > a_bytes.size() || end < a_at + 6) {
        throw Malformed{};
    }
    std::size_t at = a_at + 6;
    const std::string key = text(a_bytes, at, end);
    at = aligned(at);
    if (a_depth == 0) {
        if (key != "VS_VERSION_INFO" || valueLength != 52 || dword(a_bytes, at) != 0xFEEF04BD) {
            throw Malformed{};
        }
        std::printf("FileVersion:fixed=%s\n",
                    fixedVersion(dword(a_bytes, at + 8), dword(a_bytes, at + 12)).c_str());
        std::printf("ProductVersion:fixed=%s\n",
                    fixedVersion(dword(a_bytes, at + 16), dword(a_bytes, at + 20)).c_str());
        at = aligned(at + valueLength);
    } else if (a_depth == 3 && a_inStrings) {
        std::size_t value = at;
        std::printf("%s=%s\n", key.c_str(), text(a_bytes, value, end).c_str());
        return;
    } else {
        at = aligned(at + valueLength);
    }
    const bool inStrings = a_inStrings || key == "StringFileInfo";
    while (at < end && a_depth < 3) {
        const std::size_t childLength = word(a_bytes, at);
        if (childLength == 0) {
            throw Malformed{};
        }
        readNode(a_bytes, at, a_depth + 1, inStrings);
        at = aligned(at + childLength);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: version_info VERSION.BIN\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    try {
        readNode(bytes, 0, 0, false);
    } catch (const Malformed&) {
        std::fprintf(stderr, "version_info: not a well-formed version resource\n");
        return 1;
    }
    return 0;
}
