#pragma once
// A small picture of palette indices, top row first, with the few drawing operations the
// program's artwork needs. Everything outside the picture is clipped. Integer arithmetic only,
// so the same source always draws the same pixels.

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace stowix::media {

struct Canvas {
    Canvas(int width, int height, std::uint8_t background)
        : width(width), height(height), pixels(std::size_t(width) * height, background) {}

    std::uint8_t At(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
    void Set(int x, int y, std::uint8_t colour) {
        if (x >= 0 && y >= 0 && x < width && y < height)
            pixels[std::size_t(y) * width + x] = colour;
    }
    void FillRect(int left, int top, int w, int h, std::uint8_t colour) {
        for (int y = top; y < top + h; ++y)
            for (int x = left; x < left + w; ++x) Set(x, y, colour);
    }
    void FrameRect(int left, int top, int w, int h, std::uint8_t colour) {
        Line(left, top, left + w - 1, top, colour);
        Line(left, top + h - 1, left + w - 1, top + h - 1, colour);
        Line(left, top, left, top + h - 1, colour);
        Line(left + w - 1, top, left + w - 1, top + h - 1, colour);
    }
    // Bresenham's line, both ends included.
    void Line(int x0, int y0, int x1, int y1, std::uint8_t colour) {
        const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
        const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
        int error = dx + dy;
        for (;;) {
            Set(x0, y0, colour);
            if (x0 == x1 && y0 == y1) return;
            const int twice = 2 * error;
            if (twice >= dy) {
                error += dy;
                x0 += sx;
            }
            if (twice <= dx) {
                error += dx;
                y0 += sy;
            }
        }
    }

    int width;
    int height;
    std::vector<std::uint8_t> pixels;
};

// A palette colour.
struct Colour {
    std::uint8_t red, green, blue;
};

}  // namespace stowix::media
