// Draws the launcher's icon and writes it as a Windows .ico file:
// seven sizes (16 to 128 pixels), each at 32 bits per pixel.
//
//   make_icon OUTPUT.ico
//
// The design: a white coffee cup with orange steam on a rounded blue tile,
// the Java cup setting off. Every image is rendered from the same geometry
// with 8x8 supersampling. Every size is stored as PNG, which Windows Vista
// and later read at any size: a third of the bytes of bitmaps, in an
// executable that must stay small.
//
// Built for the host with: c++ -O2 -std=c++17 make_icon.cpp icon_writer.cpp -lz

#include "icon_writer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using icon::Encoded;
using icon::Image;
using icon::Pixel;

constexpr double pi = 3.14159265358979323846;

struct Rgba {
    double r = 0, g = 0, b = 0, a = 0; // straight alpha, 0..1
};

Rgba colour(unsigned rgb, double alpha = 1.0) {
    return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, alpha};
}

Rgba mix(const Rgba& a, const Rgba& b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
            a.a + (b.a - a.a) * t};
}

// Porter-Duff "over" with straight alpha.
Rgba over(const Rgba& top, const Rgba& bottom) {
    const double a = top.a + bottom.a * (1 - top.a);
    if (a <= 0) {
        return {};
    }
    auto channel = [&](double t, double b) { return (t * top.a + b * bottom.a * (1 - top.a)) / a; };
    return {channel(top.r, bottom.r), channel(top.g, bottom.g), channel(top.b, bottom.b), a};
}

// ---- geometry, in unit coordinates (0..1, y pointing down) ----

constexpr double cupCentre = 0.45;

bool inRoundedTile(double x, double y) {
    const double lo = 0.04, hi = 0.96, radius = 0.2;
    if (x < lo || x > hi || y < lo || y > hi) {
        return false;
    }
    const double cx = std::clamp(x, lo + radius, hi - radius);
    const double cy = std::clamp(y, lo + radius, hi - radius);
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
}

bool inEllipse(double x, double y, double cx, double cy, double rx, double ry) {
    const double dx = (x - cx) / rx, dy = (y - cy) / ry;
    return dx * dx + dy * dy <= 1.0;
}

// A bowl: full width at the rim, curving in to a rounded foot.
bool inCupBody(double x, double y) {
    const double top = 0.47, depth = 0.34, halfWidth = 0.22;
    if (y < top || y > top + depth) {
        return false;
    }
    const double t = (y - top) / depth;
    return std::fabs(x - cupCentre) <= halfWidth * std::sqrt(1.0 - t * t * t * t);
}

bool inHandle(double x, double y) {
    const double cx = cupCentre + 0.2, cy = 0.59;
    const double d = std::hypot(x - cx, y - cy);
    return x > cupCentre + 0.16 && d <= 0.105 && d >= 0.058;
}

// Coverage of one wisp of steam: a wavy stroke that tapers at both ends.
bool inSteam(double x, double y, double baseX, double top, double bottom, double phase) {
    if (y < top || y > bottom) {
        return false;
    }
    const double t = (y - top) / (bottom - top);
    const double wave = 2 * pi * 1.1;
    const double amplitude = 0.032;
    const double centre = baseX + amplitude * std::sin(t * wave + phase);
    const double slope = amplitude * wave / (bottom - top) * std::cos(t * wave + phase);
    const double halfWidth = 0.03 * std::sin(pi * std::clamp(t * 1.15, 0.0, 1.0)) + 0.004;
    return std::fabs(x - centre) / std::sqrt(1 + slope * slope) <= halfWidth;
}

// One sample of the design.
Rgba sample(double x, double y) {
    Rgba result;
    if (inRoundedTile(x, y)) {
        // Lighter at the top left, deeper at the bottom right.
        const double t = std::clamp((x * 0.35 + y * 0.65 - 0.04) / 0.92, 0.0, 1.0);
        result = mix(colour(0x3B8BEB), colour(0x1D3F9E), t);
    }
    if (inEllipse(x, y, cupCentre + 0.03, 0.835, 0.33, 0.055)) {
        result = over(colour(0xD6E2F5), result);
    }
    if (inHandle(x, y)) {
        result = over(colour(0xFFFFFF), result);
    }
    if (inCupBody(x, y) || inEllipse(x, y, cupCentre, 0.47, 0.22, 0.05)) {
        result = over(colour(0xFFFFFF), result);
    }
    if (inEllipse(x, y, cupCentre, 0.47, 0.185, 0.032)) {
        result = over(colour(0x8A4B22), result);
    }
    const Rgba steamTop = colour(0xFFC27A), steamBottom = colour(0xF7751E);
    const double wisps[3][4] = {{cupCentre - 0.095, 0.17, 0.40, 0.0},
                                {cupCentre, 0.10, 0.40, 2.2},
                                {cupCentre + 0.095, 0.17, 0.40, 4.1}};
    for (const auto& wisp : wisps) {
        if (inSteam(x, y, wisp[0], wisp[1], wisp[2], wisp[3])) {
            const double t = std::clamp((y - 0.10) / 0.30, 0.0, 1.0);
            result = over(mix(steamTop, steamBottom, t), result);
        }
    }
    return result;
}

Image render(int size) {
    constexpr int grid = 8;
    Image image{size, std::vector<Pixel>(static_cast<size_t>(size * size))};
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            // Average in premultiplied form so edges do not darken.
            double r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < grid; ++sy) {
                for (int sx = 0; sx < grid; ++sx) {
                    const Rgba s =
                        sample((px + (sx + 0.5) / grid) / size, (py + (sy + 0.5) / grid) / size);
                    r += s.r * s.a;
                    g += s.g * s.a;
                    b += s.b * s.a;
                    a += s.a;
                }
            }
            Pixel& out = image.pixels[static_cast<size_t>(py * size + px)];
            const double n = grid * grid;
            out.a = static_cast<std::uint8_t>(std::lround(a / n * 255));
            if (a > 0) {
                out.r = static_cast<std::uint8_t>(std::lround(std::clamp(r / a, 0.0, 1.0) * 255));
                out.g = static_cast<std::uint8_t>(std::lround(std::clamp(g / a, 0.0, 1.0) * 255));
                out.b = static_cast<std::uint8_t>(std::lround(std::clamp(b / a, 0.0, 1.0) * 255));
            }
        }
    }
    return image;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon OUTPUT.ico\n");
        return 2;
    }
    // 32-bit images only: every Windows the launcher runs on (7 and later)
    // shows them, so palettes and 24-bit copies would be bytes nobody sees.
    const int sizes[] = {16, 24, 32, 48, 64, 96, 128};
    constexpr int bits = 32;
    std::vector<Encoded> images;
    for (int size : sizes) {
        images.push_back({size, bits, icon::pngImage(render(size))});
    }

    return icon::writeFile(argv[1], icon::iconFile(images)) ? 0 : 1;
}
