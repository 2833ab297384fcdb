#include "artwork.h"

#include <algorithm>

namespace stowix::media {

namespace {

// The clip's palette.
enum : std::uint8_t {
    Key,
    Ink,
    Paper,
    Shadow,
    Manila,
    ManilaDark,
    ManilaLight,
    Text,
    Fold,
    Speed,
};

// The standard sixteen colours, in their usual order.
enum : std::uint8_t {
    Black,
    Maroon,
    Green,
    Olive,
    Navy,
    Purple,
    Teal,
    Silver,
    Grey,
    Red,
    Lime,
    Yellow,
    Blue,
    Fuchsia,
    Aqua,
    White,
};

constexpr int PageWidth = 12;
constexpr int PageHeight = 16;

void DrawPage(Canvas& canvas, int left, int top) {
    constexpr int Ear = 4;  // the dog-eared top right corner, in pixels
    const int right = left + PageWidth - 1;
    const int bottom = top + PageHeight - 1;
    for (int y = top; y <= bottom; ++y)
        canvas.Line(left, y, right - std::max(0, Ear - (y - top)), y, Paper);
    for (int y = top; y <= top + Ear; ++y)
        canvas.Line(right - Ear, y, right - Ear + (y - top), y, Fold);
    canvas.Line(left, top, right - Ear, top, Ink);
    canvas.Line(right - Ear, top, right, top + Ear, Ink);
    canvas.Line(right - Ear, top, right - Ear, top + Ear, Ink);
    canvas.Line(right - Ear, top + Ear, right, top + Ear, Ink);
    canvas.Line(right, top + Ear, right, bottom, Ink);
    canvas.Line(left, bottom, right, bottom, Ink);
    canvas.Line(left, top, left, bottom, Ink);
    for (int line = 0; line < 4; ++line) {
        const int y = top + 6 + line * 2;
        canvas.Line(left + 2, y, right - (line == 3 ? 5 : 2), y, Text);
    }
}

// The folder's back with its tab, drawn behind the pages that fly in.
void DrawFolderBack(Canvas& canvas) {
    canvas.FillRect(270, 7, 16, 5, ManilaDark);
    canvas.FrameRect(270, 7, 16, 5, Ink);
    canvas.FillRect(270, 11, 44, 26, ManilaDark);
    canvas.FrameRect(270, 11, 44, 26, Ink);
}

// The folder's front, drawn over the lower part of a page going in.
void DrawFolderFront(Canvas& canvas) {
    canvas.FillRect(266, 21, 48, 16, Manila);
    canvas.FrameRect(266, 21, 48, 16, Ink);
    canvas.Line(267, 22, 312, 22, ManilaLight);
    canvas.Line(267, 35, 312, 35, ManilaDark);
}

void DrawStack(Canvas& canvas) {
    canvas.FillRect(10, 27, 20, 10, Shadow);
    for (int i = 0; i < 3; ++i) DrawPage(canvas, 6 + 2 * i, 18 - 4 * i);
}

// A page in flight: step of steps along an arc from the stack to the folder, with speed lines
// behind it while it is on its way.
void DrawFlyingPage(Canvas& canvas, int step, int steps) {
    constexpr int StartX = 10, StartY = 10;
    constexpr int EndX = 284, EndY = 22;  // behind the folder's front: the page has gone in
    constexpr int Arc = 14;               // pixels above the straight path, at the top
    const int x = StartX + (EndX - StartX) * step / steps;
    const int y =
        StartY + (EndY - StartY) * step / steps - 4 * Arc * step * (steps - step) / (steps * steps);
    if (step > 1 && step < steps - 2) {
        for (int line = 0; line < 3; ++line) {
            const int lineY = y + 4 + line * 4;
            canvas.Line(x - 12 + 2 * (line % 2), lineY, x - 4, lineY, Speed);
        }
    }
    DrawPage(canvas, x, y);
}

void DrawIcon32(Canvas& icon) {
    icon.FillRect(2, 6, 11, 4, Olive);
    icon.FrameRect(2, 6, 11, 4, Black);
    icon.FillRect(2, 9, 28, 19, Olive);
    icon.FrameRect(2, 9, 28, 19, Black);
    icon.FillRect(8, 3, 14, 18, White);
    icon.FrameRect(8, 3, 14, 18, Black);
    for (int line = 0; line < 4; ++line)
        icon.Line(10, 6 + 3 * line, line == 3 ? 16 : 19, 6 + 3 * line, Navy);
    icon.FillRect(1, 14, 30, 15, Yellow);
    icon.FrameRect(1, 14, 30, 15, Black);
    icon.Line(2, 15, 29, 15, White);
    icon.Line(2, 27, 29, 27, Olive);
    // A green arrow into the folder.
    icon.FillRect(25, 0, 4, 6, Lime);
    for (int row = 0; row < 5; ++row) icon.Line(22 + row, 6 + row, 31 - row, 6 + row, Lime);
    icon.Line(24, 0, 24, 5, Green);
    icon.Line(29, 0, 29, 5, Green);
    icon.Line(24, 0, 29, 0, Green);
    icon.Line(21, 6, 24, 6, Green);
    icon.Line(29, 6, 32, 6, Green);
    icon.Line(21, 6, 26, 11, Green);
    icon.Line(32, 6, 27, 11, Green);
}

void DrawIcon16(Canvas& icon) {
    icon.FillRect(1, 3, 6, 2, Olive);
    icon.FrameRect(1, 3, 6, 2, Black);
    icon.FillRect(1, 4, 14, 10, Olive);
    icon.FrameRect(1, 4, 14, 10, Black);
    icon.FillRect(4, 1, 7, 9, White);
    icon.FrameRect(4, 1, 7, 9, Black);
    icon.Line(6, 3, 8, 3, Navy);
    icon.Line(6, 5, 8, 5, Navy);
    icon.FillRect(0, 7, 16, 8, Yellow);
    icon.FrameRect(0, 7, 16, 8, Black);
    icon.Line(1, 8, 14, 8, White);
    // A small green arrow into the folder.
    icon.Line(10, 0, 13, 0, Green);
    for (int y = 1; y <= 2; ++y) {
        icon.Set(10, y, Green);
        icon.Line(11, y, 12, y, Lime);
        icon.Set(13, y, Green);
    }
    icon.Set(9, 3, Green);
    icon.Line(10, 3, 13, 3, Lime);
    icon.Set(14, 3, Green);
    icon.Set(10, 4, Green);
    icon.Line(11, 4, 12, 4, Lime);
    icon.Set(13, 4, Green);
    icon.Line(11, 5, 12, 5, Green);
}

}  // namespace

std::vector<Colour> ClipPalette() {
    return {
        {192, 192, 192},  // Key: the dialog grey, drawn transparent by the strip
        {0, 0, 0},        // Ink
        {255, 255, 255},  // Paper
        {128, 128, 128},  // Shadow
        {240, 200, 72},   // Manila
        {184, 140, 32},   // ManilaDark
        {255, 236, 160},  // ManilaLight
        {0, 0, 128},      // Text
        {208, 208, 208},  // Fold
        {104, 104, 168},  // Speed
    };
}

std::vector<Canvas> ClipFrameImages() {
    std::vector<Canvas> frames;
    for (int frame = 0; frame < ClipFrames; ++frame) {
        Canvas canvas(ClipWidth, ClipHeight, Key);
        DrawFolderBack(canvas);
        DrawStack(canvas);
        // Two pages half a loop apart, so one is always on its way.
        for (int page = 0; page < 2; ++page)
            DrawFlyingPage(canvas, (frame + page * ClipFrames / 2) % ClipFrames, ClipFrames);
        DrawFolderFront(canvas);
        frames.push_back(std::move(canvas));
    }
    return frames;
}

std::vector<Colour> IconPalette() {
    return {
        {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
        {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
        {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
        {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
    };
}

Canvas IconImage(int size) {
    Canvas icon(size, size, Transparent);
    if (size >= 32)
        DrawIcon32(icon);
    else
        DrawIcon16(icon);
    return icon;
}

}  // namespace stowix::media
