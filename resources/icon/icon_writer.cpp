#include "icon_writer.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace icon {

bool opaque(const Pixel& p) {
    return p.a >= 128;
}

// ---- quantisation: median cut over the opaque pixels ----

using Palette = std::vector<Pixel>;

Palette medianCut(const Image& image, size_t colours) {
    std::vector<Pixel> samples;
    for (const Pixel& p : image.pixels) {
        if (opaque(p)) {
            samples.push_back(p);
        }
    }
    struct Box {
        size_t begin, end;
    };
    std::vector<Box> boxes{{0, samples.size()}};
    auto channelOf = [](const Pixel& p, int c) { return c == 0 ? p.r : c == 1 ? p.g : p.b; };
    auto widest = [&](const Box& box, int& channel) {
        int best = -1;
        for (int c = 0; c < 3; ++c) {
            int lo = 255, hi = 0;
            for (size_t i = box.begin; i < box.end; ++i) {
                lo = std::min<int>(lo, channelOf(samples[i], c));
                hi = std::max<int>(hi, channelOf(samples[i], c));
            }
            if (hi - lo > best) {
                best = hi - lo;
                channel = c;
            }
        }
        return best;
    };
    while (boxes.size() < colours) {
        size_t pick = boxes.size();
        int pickChannel = 0, pickRange = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            int channel = 0;
            const int range = boxes[i].end - boxes[i].begin > 1 ? widest(boxes[i], channel) : 0;
            if (range > pickRange) {
                pick = i;
                pickRange = range;
                pickChannel = channel;
            }
        }
        if (pick == boxes.size()) {
            break; // every box holds a single colour
        }
        Box box = boxes[pick];
        std::sort(samples.begin() + static_cast<long>(box.begin),
                  samples.begin() + static_cast<long>(box.end),
                  [&](const Pixel& a, const Pixel& b) {
                      return channelOf(a, pickChannel) < channelOf(b, pickChannel);
                  });
        const size_t middle = box.begin + (box.end - box.begin) / 2;
        boxes[pick] = {box.begin, middle};
        boxes.push_back({middle, box.end});
    }
    Palette palette;
    for (const Box& box : boxes) {
        double r = 0, g = 0, b = 0;
        for (size_t i = box.begin; i < box.end; ++i) {
            r += samples[i].r;
            g += samples[i].g;
            b += samples[i].b;
        }
        const double n = static_cast<double>(std::max<size_t>(1, box.end - box.begin));
        palette.push_back({static_cast<std::uint8_t>(std::lround(r / n)),
                           static_cast<std::uint8_t>(std::lround(g / n)),
                           static_cast<std::uint8_t>(std::lround(b / n)), 255});
    }
    return palette;
}

// Index 0 is the transparent entry; the design's colours follow.
std::vector<std::uint8_t> mapToPalette(const Image& image, const Palette& palette) {
    std::vector<std::uint8_t> indices;
    for (const Pixel& p : image.pixels) {
        if (!opaque(p)) {
            indices.push_back(0);
            continue;
        }
        size_t best = 1;
        long bestDistance = -1;
        for (size_t i = 1; i < palette.size(); ++i) {
            const long dr = p.r - palette[i].r, dg = p.g - palette[i].g, db = p.b - palette[i].b;
            const long distance = dr * dr * 3 + dg * dg * 4 + db * db * 2;
            if (bestDistance < 0 || distance < bestDistance) {
                best = i;
                bestDistance = distance;
            }
        }
        indices.push_back(static_cast<std::uint8_t>(best));
    }
    return indices;
}

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

size_t rowBytes(int width, int bits) {
    return static_cast<size_t>((width * bits + 31) / 32 * 4);
}

// A device-independent bitmap as icons store it: header, palette, colour
// rows bottom-up, then the 1-bit transparency mask.
Bytes bitmapImage(const Image& image, int bits) {
    const int size = image.size;
    Palette palette;
    std::vector<std::uint8_t> indices;
    if (bits <= 8) {
        palette = medianCut(image, (1u << bits) - 1);
        palette.insert(palette.begin(), Pixel{0, 0, 0, 0});
        palette.resize(1u << bits, Pixel{0, 0, 0, 0});
        indices = mapToPalette(image, palette);
    }
    const size_t colourRow = rowBytes(size, bits), maskRow = rowBytes(size, 1);
    Bytes out;
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(size));
    put32(out, static_cast<std::uint32_t>(size * 2)); // colour rows and mask rows
    put16(out, 1);
    put16(out, static_cast<unsigned>(bits));
    put32(out, 0); // BI_RGB
    put32(out, static_cast<std::uint32_t>((colourRow + maskRow) * static_cast<size_t>(size)));
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    for (const Pixel& p : palette) {
        out.insert(out.end(), {p.b, p.g, p.r, 0});
    }
    for (int y = size - 1; y >= 0; --y) {
        Bytes row(colourRow, 0);
        for (int x = 0; x < size; ++x) {
            const Pixel& p = image.at(x, y);
            const size_t i = static_cast<size_t>(y * size + x);
            switch (bits) {
            case 4:
                row[static_cast<size_t>(x / 2)] |=
                    static_cast<std::uint8_t>(indices[i] << (x % 2 == 0 ? 4 : 0));
                break;
            case 8:
                row[static_cast<size_t>(x)] = indices[i];
                break;
            case 24: {
                const Pixel c = opaque(p) ? p : Pixel{};
                std::copy_n(std::array<std::uint8_t, 3>{c.b, c.g, c.r}.begin(), 3,
                            row.begin() + x * 3);
                break;
            }
            default:
                std::copy_n(std::array<std::uint8_t, 4>{p.b, p.g, p.r, p.a}.begin(), 4,
                            row.begin() + x * 4);
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int y = size - 1; y >= 0; --y) {
        Bytes row(maskRow, 0);
        for (int x = 0; x < size; ++x) {
            const Pixel& p = image.at(x, y);
            if (bits == 32 ? p.a == 0 : !opaque(p)) {
                row[static_cast<size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
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
Bytes filterRows(const std::vector<Bytes>& rows, size_t bytesPerPixel, bool adaptive) {
    Bytes out;
    Bytes previous(rows.front().size(), 0);
    for (const Bytes& row : rows) {
        Bytes best;
        long bestScore = -1;
        for (int filter = 0; filter <= (adaptive ? 4 : 0); ++filter) {
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

Bytes pngImage(const Image& image, int bits) {
    const int size = image.size;
    // The key colour that marks transparency in the 24-bit image; the design
    // never uses it.
    const Pixel key{255, 0, 255, 0};
    std::uint8_t colourType = 6, depth = 8;
    size_t bytesPerPixel = 4;
    Palette palette;
    std::vector<std::uint8_t> indices;
    if (bits <= 8) {
        palette = medianCut(image, (1u << bits) - 1);
        palette.insert(palette.begin(), Pixel{0, 0, 0, 0});
        indices = mapToPalette(image, palette);
        colourType = 3;
        depth = static_cast<std::uint8_t>(bits);
        bytesPerPixel = 1;
    } else if (bits == 24) {
        colourType = 2;
        bytesPerPixel = 3;
    }
    std::vector<Bytes> rows;
    for (int y = 0; y < size; ++y) {
        Bytes row;
        for (int x = 0; x < size; ++x) {
            const Pixel& p = image.at(x, y);
            const size_t i = static_cast<size_t>(y * size + x);
            if (bits == 4) {
                if (x % 2 == 0) {
                    row.push_back(static_cast<std::uint8_t>(indices[i] << 4));
                } else {
                    row.back() |= indices[i];
                }
            } else if (bits == 8) {
                row.push_back(indices[i]);
            } else if (bits == 24) {
                const Pixel c = opaque(p) ? p : key;
                row.insert(row.end(), {c.r, c.g, c.b});
            } else {
                row.insert(row.end(), {p.r, p.g, p.b, p.a});
            }
        }
        rows.push_back(row);
    }
    const Bytes filtered = filterRows(rows, bytesPerPixel, bits > 8);
    uLongf packedSize = compressBound(static_cast<uLong>(filtered.size()));
    Bytes packed(packedSize);
    compress2(packed.data(), &packedSize, filtered.data(), static_cast<uLong>(filtered.size()), 9);
    packed.resize(packedSize);

    Bytes out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    put32be(header, static_cast<std::uint32_t>(size));
    put32be(header, static_cast<std::uint32_t>(size));
    header.insert(header.end(), {depth, colourType, 0, 0, 0});
    pngChunk(out, "IHDR", header);
    if (colourType == 3) {
        Bytes plte, trns{0};
        for (const Pixel& p : palette) {
            plte.insert(plte.end(), {p.r, p.g, p.b});
        }
        pngChunk(out, "PLTE", plte);
        pngChunk(out, "tRNS", trns);
    } else if (colourType == 2) {
        Bytes trns;
        for (std::uint8_t c : {key.r, key.g, key.b}) {
            put16(trns, 0);
            trns[trns.size() - 1] = c; // 16-bit big-endian sample
        }
        pngChunk(out, "tRNS", trns);
    }
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
        file.push_back(static_cast<std::uint8_t>(e.bits == 4 ? 16 : 0));
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
