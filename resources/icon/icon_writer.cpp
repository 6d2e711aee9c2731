#include "icon_writer.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace icon {

// ---- byte output ----

void put16(Bytes& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(Bytes& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void put32be(Bytes& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(v >> shift));
    }
}

void pngChunk(Bytes& out, const char* type, const Bytes& data) {
    put32be(out, static_cast<std::uint32_t>(data.size()));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    out.insert(out.end(), typed.begin(), typed.end());
    put32be(out,
            static_cast<std::uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
}

// Paeth and friends, picked per row by the smallest sum of magnitudes.
Bytes filterRows(const std::vector<Bytes>& rows, size_t bytesPerPixel) {
    Bytes out;
    Bytes previous(rows.front().size(), 0);
    for (const Bytes& row : rows) {
        Bytes best;
        long bestScore = -1;
        for (int filter = 0; filter <= 4; ++filter) {
            Bytes line{static_cast<std::uint8_t>(filter)};
            long score = 0;
            for (size_t i = 0; i < row.size(); ++i) {
                const int a = i >= bytesPerPixel ? row[i - bytesPerPixel] : 0;
                const int b = previous[i];
                const int c = i >= bytesPerPixel ? previous[i - bytesPerPixel] : 0;
                int predicted = 0;
                switch (filter) {
                case 1:
                    predicted = a;
                    break;
                case 2:
                    predicted = b;
                    break;
                case 3:
                    predicted = (a + b) / 2;
                    break;
                case 4: {
                    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b),
                              pc = std::abs(p - c);
                    predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
                    break;
                }
                default:
                    break;
                }
                const auto value = static_cast<std::uint8_t>(row[i] - predicted);
                line.push_back(value);
                score += value < 128 ? value : 256 - value;
            }
            if (bestScore < 0 || score < bestScore) {
                best = line;
                bestScore = score;
            }
        }
        out.insert(out.end(), best.begin(), best.end());
        previous = row;
    }
    return out;
}

Bytes pngImage(const Image& image) {
    const int size = image.size;
    std::vector<Bytes> rows;
    for (int y = 0; y < size; ++y) {
        Bytes row;
        for (int x = 0; x < size; ++x) {
            const Pixel& p = image.at(x, y);
            row.insert(row.end(), {p.r, p.g, p.b, p.a});
        }
        rows.push_back(row);
    }
    const Bytes filtered = filterRows(rows, 4);
    uLongf packedSize = compressBound(static_cast<uLong>(filtered.size()));
    Bytes packed(packedSize);
    compress2(packed.data(), &packedSize, filtered.data(), static_cast<uLong>(filtered.size()), 9);
    packed.resize(packedSize);

    Bytes out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    put32be(header, static_cast<std::uint32_t>(size));
    put32be(header, static_cast<std::uint32_t>(size));
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8-bit RGBA
    pngChunk(out, "IHDR", header);
    pngChunk(out, "IDAT", packed);
    pngChunk(out, "IEND", {});
    return out;
}

Bytes iconFile(const std::vector<Encoded>& images) {
    Bytes file;
    put16(file, 0);
    put16(file, 1); // icon
    put16(file, static_cast<unsigned>(images.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    for (const Encoded& e : images) {
        file.push_back(static_cast<std::uint8_t>(e.size));
        file.push_back(static_cast<std::uint8_t>(e.size));
        file.push_back(0); // no palette
        file.push_back(0);
        put16(file, 1);
        put16(file, static_cast<unsigned>(e.bits));
        put32(file, static_cast<std::uint32_t>(e.data.size()));
        put32(file, offset);
        offset += static_cast<std::uint32_t>(e.data.size());
    }
    for (const Encoded& e : images) {
        file.insert(file.end(), e.data.begin(), e.data.end());
    }
    return file;
}

// A file that cannot be written whole is closed and removed: no partial
// .ico is ever left for a build to pick up.
bool writeFile(const char* a_path, const Bytes& a_bytes) {
    std::FILE* out = std::fopen(a_path, "wb");
    if (out == nullptr) {
        std::perror(a_path);
        return false;
    }
    const bool written = std::fwrite(a_bytes.data(), 1, a_bytes.size(), out) == a_bytes.size();
    if (std::fclose(out) != 0 || !written) {
        std::perror(a_path);
        std::remove(a_path);
        return false;
    }
    return true;
}

} // namespace icon
