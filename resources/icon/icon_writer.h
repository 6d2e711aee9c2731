#pragma once
// Writing icons: the 32-bit images of a Windows .ico file, as bitmaps or as
// PNG, and the file that holds them. Shared by the icon tools of this folder.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace icon {

struct Pixel {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
};

struct Image {
    int size = 0;
    std::vector<Pixel> pixels;
    const Pixel& at(int x, int y) const { return pixels[static_cast<size_t>(y * size + x)]; }
};

using Bytes = std::vector<std::uint8_t>;

// One image of the file: its size in pixels, its bits per pixel, its bytes.
struct Encoded {
    int size;
    int bits;
    Bytes data;
};

// An image as an RGBA PNG file.
Bytes pngImage(const Image& image);

// The .ico file: its directory (a 256-pixel image has the size 0 there),
// then the images in order.
Bytes iconFile(const std::vector<Encoded>& images);

// Writes a_bytes to a_path; false, with the system's reason on standard
// error, when it cannot.
bool writeFile(const char* a_path, const Bytes& a_bytes);

} // namespace icon
