// Plain value types shared by the window layer and its users. No toolkit types
// appear in any platform header: the toolkit stays inside platform/*.cpp.
#pragma once

#include <cstdint>

namespace platform {

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

struct Size {
    int cx = 0;
    int cy = 0;
    bool operator==(const Size&) const = default;
};

// Edges as the program stores them: right and bottom are exclusive.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    bool operator==(const Rect&) const = default;
};

// 0x00BBGGRR, the byte order the program's files and colour table use.
using Color = uint32_t;
constexpr Color MakeColor(int r, int g, int b) {
    return static_cast<Color>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int RedOf(Color c) { return c & 0xFF; }
constexpr int GreenOf(Color c) { return (c >> 8) & 0xFF; }
constexpr int BlueOf(Color c) { return (c >> 16) & 0xFF; }

}  // namespace platform
