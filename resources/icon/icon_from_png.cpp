// Makes a Windows .ico file of a square PNG: the sizes Windows shows (16,
// 20, 24, 32, 40, 48 and 64 pixels as 32-bit bitmaps, which every version
// reads, and 256 as PNG), each scaled from the one image. The same PNG gives
// the same bytes.
//
//   icon_from_png INPUT.png OUTPUT.ico
//
// Every PNG the format allows is read: each colour type and bit depth,
// transparency, interlacing. A fault is named on standard error and ends
// with 1; the file is not written then.
//
// Built for the host with: c++ -O2 -std=c++17 icon_from_png.cpp icon_writer.cpp -lz

#include "icon_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

using icon::Bytes;
using icon::Image;
using icon::Pixel;

constexpr std::uint32_t largestSide = 8192;

std::uint32_t big32(const Bytes& a_bytes, std::size_t a_at) {
    return static_cast<std::uint32_t>(a_bytes[a_at]) << 24 |
           static_cast<std::uint32_t>(a_bytes[a_at + 1]) << 16 |
           static_cast<std::uint32_t>(a_bytes[a_at + 2]) << 8 | a_bytes[a_at + 3];
}

// What the chunks say.
struct Png {
    std::uint32_t width = 0, height = 0;
    int depth = 0, colourType = 0, interlace = 0;
    Bytes palette;      // RGB triples
    Bytes transparency; // tRNS as stored
    Bytes packed;       // the IDAT chunks joined
};

std::string fault;

bool fail(const std::string& a_why) {
    fault = a_why;
    return false;
}

int channelsOf(int a_colourType) {
    switch (a_colourType) {
    case 0:
    case 3:
        return 1;
    case 4:
        return 2;
    case 2:
        return 3;
    default:
        return 4;
    }
}

bool validDepth(int a_colourType, int a_depth) {
    switch (a_colourType) {
    case 0:
        return a_depth == 1 || a_depth == 2 || a_depth == 4 || a_depth == 8 || a_depth == 16;
    case 3:
        return a_depth == 1 || a_depth == 2 || a_depth == 4 || a_depth == 8;
    case 2:
    case 4:
    case 6:
        return a_depth == 8 || a_depth == 16;
    default:
        return false;
    }
}

bool readChunks(const Bytes& a_file, Png& a_png) {
    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (a_file.size() < 8 || std::memcmp(a_file.data(), signature, 8) != 0) {
        return fail("not a PNG file");
    }
    bool header = false, end = false;
    for (std::size_t at = 8; !end;) {
        if (at + 12 > a_file.size()) {
            return fail("the PNG file is cut short");
        }
        const std::uint32_t length = big32(a_file, at);
        if (length > a_file.size() - at - 12) {
            return fail("the PNG file is cut short");
        }
        const std::string type(a_file.begin() + static_cast<std::ptrdiff_t>(at + 4),
                               a_file.begin() + static_cast<std::ptrdiff_t>(at + 8));
        const auto data = a_file.begin() + static_cast<std::ptrdiff_t>(at + 8);
        const std::uint32_t stored = big32(a_file, at + 8 + length);
        if (crc32(0, a_file.data() + at + 4, length + 4) != stored) {
            return fail("the PNG file is damaged (chunk " + type + ")");
        }
        if (type == "IHDR" && length == 13) {
            a_png.width = big32(a_file, at + 8);
            a_png.height = big32(a_file, at + 12);
            a_png.depth = data[8];
            a_png.colourType = data[9];
            a_png.interlace = data[12];
            header = data[10] == 0 && data[11] == 0 && data[12] <= 1;
        } else if (type == "PLTE") {
            a_png.palette.assign(data, data + length);
        } else if (type == "tRNS") {
            a_png.transparency.assign(data, data + length);
        } else if (type == "IDAT") {
            a_png.packed.insert(a_png.packed.end(), data, data + length);
        } else if (type == "IEND") {
            end = true;
        }
        at += 12 + length;
    }
    if (!header || !validDepth(a_png.colourType, a_png.depth) || a_png.width == 0 ||
        a_png.height == 0) {
        return fail("the PNG file's header is not one the format allows");
    }
    if (a_png.colourType == 3 && (a_png.palette.empty() || a_png.palette.size() % 3 != 0)) {
        return fail("the PNG file has no palette");
    }
    if (a_png.width > largestSide || a_png.height > largestSide) {
        return fail("the PNG image is larger than 8192 pixels");
    }
    return true;
}

// The seven passes of Adam7, or the one of a plain image.
struct Pass {
    std::uint32_t x0, y0, dx, dy;
};

std::vector<Pass> passesOf(const Png& a_png) {
    if (a_png.interlace == 0) {
        return {{0, 0, 1, 1}};
    }
    return {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
}

std::uint32_t cells(std::uint32_t a_size, std::uint32_t a_start, std::uint32_t a_step) {
    return a_size > a_start ? (a_size - a_start + a_step - 1) / a_step : 0;
}

std::size_t rowBytesOf(const Png& a_png, std::uint32_t a_width) {
    return (static_cast<std::size_t>(a_width) *
                static_cast<std::size_t>(channelsOf(a_png.colourType)) *
                static_cast<std::size_t>(a_png.depth) +
            7) /
           8;
}

bool inflateAll(const Png& a_png, std::size_t a_expected, Bytes& a_raw) {
    a_raw.assign(a_expected, 0);
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        return fail("zlib cannot start");
    }
    stream.next_in = const_cast<Bytef*>(a_png.packed.data());
    stream.avail_in = static_cast<uInt>(a_png.packed.size());
    stream.next_out = a_raw.data();
    stream.avail_out = static_cast<uInt>(a_raw.size());
    const int result = inflate(&stream, Z_FINISH);
    const bool whole = stream.avail_out == 0 &&
                       (result == Z_STREAM_END || result == Z_BUF_ERROR || result == Z_OK);
    inflateEnd(&stream);
    return whole ? true : fail("the PNG file's image data is damaged or cut short");
}

std::uint8_t paeth(int a_left, int a_up, int a_upLeft) {
    const int p = a_left + a_up - a_upLeft;
    const int pa = std::abs(p - a_left), pb = std::abs(p - a_up), pc = std::abs(p - a_upLeft);
    return static_cast<std::uint8_t>(pa <= pb && pa <= pc ? a_left : pb <= pc ? a_up : a_upLeft);
}

// Undoes the row filters of one pass in place; its rows start at a_at.
bool unfilter(Bytes& a_raw, std::size_t a_at, std::size_t a_rowBytes, std::uint32_t a_rows,
              std::size_t a_pixelBytes) {
    for (std::uint32_t y = 0; y < a_rows; ++y) {
        std::uint8_t* row = a_raw.data() + a_at + y * (a_rowBytes + 1);
        const std::uint8_t* previous = y == 0 ? nullptr : row - (a_rowBytes + 1);
        const int filter = row[0];
        ++row;
        if (previous != nullptr) {
            ++previous;
        }
        if (filter > 4) {
            return fail("the PNG file's image data is damaged (a row filter of " +
                        std::to_string(filter) + ")");
        }
        for (std::size_t i = 0; i < a_rowBytes; ++i) {
            const int left = i >= a_pixelBytes ? row[i - a_pixelBytes] : 0;
            const int up = previous != nullptr ? previous[i] : 0;
            const int upLeft =
                previous != nullptr && i >= a_pixelBytes ? previous[i - a_pixelBytes] : 0;
            const int predicted = filter == 1   ? left
                                  : filter == 2 ? up
                                  : filter == 3 ? (left + up) / 2
                                  : filter == 4 ? paeth(left, up, upLeft)
                                                : 0;
            row[i] = static_cast<std::uint8_t>(row[i] + predicted);
        }
    }
    return true;
}

// Sample a_index of a row, scaled to 0..255.
int sample(const std::uint8_t* a_row, std::size_t a_index, int a_depth, bool a_scale) {
    if (a_depth == 16) {
        return a_row[a_index * 2]; // the high byte
    }
    if (a_depth == 8) {
        return a_row[a_index];
    }
    const std::size_t bit = a_index * static_cast<std::size_t>(a_depth);
    const int value =
        (a_row[bit / 8] >> (8 - a_depth - static_cast<int>(bit % 8))) & ((1 << a_depth) - 1);
    return a_scale ? value * 255 / ((1 << a_depth) - 1) : value;
}

// The raw sample (all 16 bits of a 16-bit one), for the colour key of tRNS.
int rawSample(const std::uint8_t* a_row, std::size_t a_index, int a_depth) {
    return a_depth == 16 ? a_row[a_index * 2] << 8 | a_row[a_index * 2 + 1]
                         : sample(a_row, a_index, a_depth, false);
}

int keyOf(const Bytes& a_transparency, std::size_t a_channel) {
    return a_transparency.size() >= 2 * (a_channel + 1)
               ? a_transparency[2 * a_channel] << 8 | a_transparency[2 * a_channel + 1]
               : -1;
}

Pixel pixelAt(const Png& a_png, const std::uint8_t* a_row, std::uint32_t a_x) {
    const int channels = channelsOf(a_png.colourType);
    const std::size_t first = static_cast<std::size_t>(a_x) * static_cast<std::size_t>(channels);
    const auto at = [&](int a_channel) {
        return static_cast<std::uint8_t>(
            sample(a_row, first + static_cast<std::size_t>(a_channel), a_png.depth, true));
    };
    switch (a_png.colourType) {
    case 3: {
        const std::size_t index =
            static_cast<std::size_t>(sample(a_row, first, a_png.depth, false));
        if (index * 3 + 2 >= a_png.palette.size()) {
            return Pixel{0, 0, 0, 0};
        }
        const std::uint8_t alpha =
            index < a_png.transparency.size() ? a_png.transparency[index] : 255;
        return Pixel{a_png.palette[index * 3], a_png.palette[index * 3 + 1],
                     a_png.palette[index * 3 + 2], alpha};
    }
    case 0: {
        const bool keyed = rawSample(a_row, first, a_png.depth) == keyOf(a_png.transparency, 0);
        return Pixel{at(0), at(0), at(0), static_cast<std::uint8_t>(keyed ? 0 : 255)};
    }
    case 4:
        return Pixel{at(0), at(0), at(0), at(1)};
    case 2: {
        bool keyed = a_png.transparency.size() >= 6;
        for (int c = 0; c < 3 && keyed; ++c) {
            keyed = rawSample(a_row, first + static_cast<std::size_t>(c), a_png.depth) ==
                    keyOf(a_png.transparency, static_cast<std::size_t>(c));
        }
        return Pixel{at(0), at(1), at(2), static_cast<std::uint8_t>(keyed ? 0 : 255)};
    }
    default:
        return Pixel{at(0), at(1), at(2), at(3)};
    }
}

bool decode(const Png& a_png, Image& a_image) {
    const std::vector<Pass> passes = passesOf(a_png);
    std::size_t expected = 0;
    for (const Pass& pass : passes) {
        const std::uint32_t width = cells(a_png.width, pass.x0, pass.dx);
        const std::uint32_t rows = cells(a_png.height, pass.y0, pass.dy);
        if (width != 0) {
            expected += rows * (rowBytesOf(a_png, width) + 1);
        }
    }
    Bytes raw;
    if (!inflateAll(a_png, expected, raw)) {
        return false;
    }
    const std::size_t pixelBytes = std::max<std::size_t>(
        1, static_cast<std::size_t>(channelsOf(a_png.colourType) * a_png.depth / 8));
    a_image.size = static_cast<int>(a_png.width);
    a_image.pixels.assign(static_cast<std::size_t>(a_png.width) * a_png.height, Pixel{});
    std::size_t at = 0;
    for (const Pass& pass : passes) {
        const std::uint32_t width = cells(a_png.width, pass.x0, pass.dx);
        const std::uint32_t rows = cells(a_png.height, pass.y0, pass.dy);
        if (width == 0 || rows == 0) {
            continue;
        }
        const std::size_t rowBytes = rowBytesOf(a_png, width);
        if (!unfilter(raw, at, rowBytes, rows, pixelBytes)) {
            return false;
        }
        for (std::uint32_t y = 0; y < rows; ++y) {
            const std::uint8_t* row = raw.data() + at + y * (rowBytes + 1) + 1;
            for (std::uint32_t x = 0; x < width; ++x) {
                a_image.pixels[static_cast<std::size_t>(pass.y0 + y * pass.dy) * a_png.width +
                               pass.x0 + x * pass.dx] = pixelAt(a_png, row, x);
            }
        }
        at += rows * (rowBytes + 1);
    }
    return true;
}

// One side of a_image scaled to a_size: each target pixel the average of
// the source area it covers (premultiplied, so that edges do not darken);
// when enlarging, the area is a source pixel wide around its centre.
Image scaled(const Image& a_image, int a_size) {
    const double ratio = static_cast<double>(a_image.size) / a_size;
    const double reach = std::max(ratio, 1.0);
    Image result{a_size, std::vector<Pixel>(static_cast<std::size_t>(a_size) * a_size)};
    for (int y = 0; y < a_size; ++y) {
        const double centreY = (y + 0.5) * ratio;
        for (int x = 0; x < a_size; ++x) {
            const double centreX = (x + 0.5) * ratio;
            double r = 0, g = 0, b = 0, a = 0, weight = 0;
            const double top = centreY - reach / 2, left = centreX - reach / 2;
            for (int sy = std::max(0, static_cast<int>(std::floor(top)));
                 sy < std::min(a_image.size, static_cast<int>(std::ceil(top + reach))); ++sy) {
                const double wy = std::min<double>(sy + 1, top + reach) - std::max<double>(sy, top);
                for (int sx = std::max(0, static_cast<int>(std::floor(left)));
                     sx < std::min(a_image.size, static_cast<int>(std::ceil(left + reach))); ++sx) {
                    const double wx =
                        std::min<double>(sx + 1, left + reach) - std::max<double>(sx, left);
                    const double w = wx * wy;
                    const Pixel& p = a_image.at(sx, sy);
                    const double alpha = p.a / 255.0;
                    r += w * alpha * p.r;
                    g += w * alpha * p.g;
                    b += w * alpha * p.b;
                    a += w * alpha;
                    weight += w;
                }
            }
            Pixel& out = result.pixels[static_cast<std::size_t>(y) * a_size + x];
            if (weight > 0 && a > 0) {
                out.a = static_cast<std::uint8_t>(std::lround(a / weight * 255));
                out.r = static_cast<std::uint8_t>(std::lround(std::clamp(r / a, 0.0, 255.0)));
                out.g = static_cast<std::uint8_t>(std::lround(std::clamp(g / a, 0.0, 255.0)));
                out.b = static_cast<std::uint8_t>(std::lround(std::clamp(b / a, 0.0, 255.0)));
            }
        }
    }
    return result;
}

bool readFile(const char* a_path, Bytes& a_bytes) {
    std::ifstream in(a_path, std::ios::binary);
    if (!in) {
        return fail("cannot be read");
    }
    a_bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad() ? true : fail("cannot be read");
}

// The image of the PNG file at a_path, when it is one and square.
bool readSquareImage(const char* a_path, Image& a_image) {
    Bytes file;
    Png png;
    if (!readFile(a_path, file) || !readChunks(file, png)) {
        return false;
    }
    if (png.width != png.height) {
        return fail("the PNG image is not square (" + std::to_string(png.width) + "x" +
                    std::to_string(png.height) + ")");
    }
    return decode(png, a_image);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: icon_from_png INPUT.png OUTPUT.ico\n");
        return 2;
    }
    Image image;
    if (!readSquareImage(argv[1], image)) {
        std::fprintf(stderr, "%s\n", fault.c_str());
        return 1;
    }
    std::vector<icon::Encoded> images;
    for (const int size : {16, 20, 24, 32, 40, 48, 64, 256}) {
        const Image sized = scaled(image, size);
        images.push_back({size, 32, size < 256 ? icon::bitmapImage(sized) : icon::pngImage(sized)});
    }
    return icon::writeFile(argv[2], icon::iconFile(images)) ? 0 : 1;
}
