// Pixel questions the desktop stage asks of its screenshots. A shot is read as
// xwd wrote it (a TrueColor ZPixmap; reading it here spares a conversion per
// shot) or as a binary PPM (P6), which ImageMagick makes of anything else.
// Each command prints plain numbers so the shell scripts can compare them.
//
//   count  IMG X Y W H RRGGBB TOL   pixels of the region within TOL (per channel) of the colour
//   columns IMG X Y W H RRGGBB TOL  columns of the region holding at least one such pixel
//   top    IMG X Y W H N            the N commonest colours of the region: "RRGGBB count" lines
//   bands  IMG X Y W H RRGGBB TOL   rows of ink (pixels farther than TOL from the background
//                                   colour), one "top bottom left right" line per band
//   inkbox IMG X Y W H RRGGBB TOL   the box around all ink of the region: "left top right bottom",
//                                   nothing when there is none
//   diff   IMG1 IMG2 X Y W H TOL    pixels of the region that differ by more than TOL
//
// A region is clipped to the image; W or H of 0 means "to the image's edge".
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;

    uint32_t At(int x, int y) const {
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3];
        return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
    }
};

struct Region {
    int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
};

[[noreturn]] void Fail(const std::string& why) {
    std::cerr << "tw_pixels: " << why << "\n";
    std::exit(2);
}

// Skips blanks and '#' comments between the header's fields.
int ReadHeaderNumber(std::istream& in) {
    for (;;) {
        const int c = in.peek();
        if (c == '#') {
            std::string comment;
            std::getline(in, comment);
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            in.get();
        } else {
            break;
        }
    }
    int value = -1;
    if (!(in >> value)) Fail("bad PPM header");
    return value;
}

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// The lowest set bit's position and the width of a channel mask.
int MaskShift(uint32_t mask) {
    int shift = 0;
    while (mask && !(mask & 1u)) mask >>= 1, ++shift;
    return shift;
}

uint8_t Channel(uint32_t pixel, uint32_t mask) {
    if (!mask) return 0;
    const uint32_t value = (pixel & mask) >> MaskShift(mask);
    const uint32_t top = mask >> MaskShift(mask);
    return static_cast<uint8_t>(top == 255 ? value : value * 255 / top);
}

// An xwd dump: a header of 25 big-endian words, the window name, the colour
// entries, then the rows. Only the direct-colour layouts of 24 and 32 bits per
// pixel are read, which is what a 24-bit Xvfb screen gives.
Image LoadXwd(const std::string& path, const std::vector<uint8_t>& file) {
    if (file.size() < 100) Fail(path + " is cut short");
    uint32_t h[25];
    for (int i = 0; i < 25; ++i) h[i] = BigEndian32(&file[static_cast<size_t>(i) * 4]);
    const uint32_t headerSize = h[0], format = h[2], width = h[4], height = h[5], byteOrder = h[7];
    const uint32_t bitsPerPixel = h[11], bytesPerLine = h[12], visualClass = h[13];
    const uint32_t redMask = h[14], greenMask = h[15], blueMask = h[16], colours = h[19];
    if (format != 2 || (bitsPerPixel != 32 && bitsPerPixel != 24) || visualClass < 4)
        Fail(path + ": only TrueColor ZPixmap dumps of 24 or 32 bits per pixel are read");
    const size_t start = size_t{headerSize} + size_t{colours} * 12;
    const size_t bytes = bitsPerPixel / 8;
    if (width == 0 || height == 0 || width > 65536 || height > 65536 || bytesPerLine < width * bytes ||
        file.size() < start + size_t{bytesPerLine} * height)
        Fail(path + " is cut short");
    Image image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.rgb.resize(size_t{width} * height * 3);
    uint8_t* out = image.rgb.data();
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = &file[start + size_t{y} * bytesPerLine];
        for (uint32_t x = 0; x < width; ++x, row += bytes) {
            uint32_t pixel = 0;
            for (size_t b = 0; b < bytes; ++b) {
                const size_t at = byteOrder == 0 ? bytes - 1 - b : b;  // 0: least significant byte first
                pixel = (pixel << 8) | row[at];
            }
            *out++ = Channel(pixel, redMask);
            *out++ = Channel(pixel, greenMask);
            *out++ = Channel(pixel, blueMask);
        }
    }
    return image;
}

Image Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail("cannot open " + path);
    char magic[2] = {};
    in.read(magic, 2);
    if (magic[0] != 'P' || magic[1] != '6') {
        in.seekg(0);
        const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (file.size() >= 8 && BigEndian32(&file[4]) == 7) return LoadXwd(path, file);
        Fail(path + " is neither an xwd dump nor a binary PPM (P6)");
    }
    Image image;
    image.width = ReadHeaderNumber(in);
    image.height = ReadHeaderNumber(in);
    const int maxValue = ReadHeaderNumber(in);
    if (image.width <= 0 || image.height <= 0 || maxValue != 255) Fail(path + ": only 8-bit PPM files are read");
    in.get();  // the one blank before the samples
    image.rgb.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3);
    in.read(reinterpret_cast<char*>(image.rgb.data()), static_cast<std::streamsize>(image.rgb.size()));
    if (!in) Fail(path + " is cut short");
    return image;
}

int Number(const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (!*text || *end) Fail(std::string("not a number: ") + text);
    return static_cast<int>(value);
}

uint32_t Colour(const char* text) {
    if (*text == '#') ++text;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 16);
    if (std::strlen(text) != 6 || *end) Fail(std::string("not a colour RRGGBB: ") + text);
    return static_cast<uint32_t>(value);
}

Region Clip(const Image& image, char** args) {
    Region r;
    r.left = std::max(0, Number(args[0]));
    r.top = std::max(0, Number(args[1]));
    const int w = Number(args[2]);
    const int h = Number(args[3]);
    r.right = w > 0 ? std::min(image.width, r.left + w) : image.width;
    r.bottom = h > 0 ? std::min(image.height, r.top + h) : image.height;
    r.right = std::max(r.right, r.left);
    r.bottom = std::max(r.bottom, r.top);
    return r;
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift <= 16; shift += 8) {
        const int ca = static_cast<int>((a >> shift) & 0xFF);
        const int cb = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(ca - cb) > tolerance) return false;
    }
    return true;
}

int Count(const Image& image, const Region& r, uint32_t colour, int tolerance) {
    int count = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (Near(image.At(x, y), colour, tolerance)) ++count;
    return count;
}

int Columns(const Image& image, const Region& r, uint32_t colour, int tolerance) {
    int count = 0;
    for (int x = r.left; x < r.right; ++x)
        for (int y = r.top; y < r.bottom; ++y)
            if (Near(image.At(x, y), colour, tolerance)) {
                ++count;
                break;
            }
    return count;
}

void Top(const Image& image, const Region& r, int n) {
    std::map<uint32_t, int> counts;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) ++counts[image.At(x, y)];
    std::vector<std::pair<int, uint32_t>> sorted;
    for (const auto& [colour, count] : counts) sorted.emplace_back(count, colour);
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (int i = 0; i < n && i < static_cast<int>(sorted.size()); ++i)
        std::printf("%06X %d\n", static_cast<unsigned>(sorted[static_cast<size_t>(i)].second),
                    sorted[static_cast<size_t>(i)].first);
}

// The leftmost and rightmost ink of one row, or -1 when it has none.
std::pair<int, int> RowInk(const Image& image, const Region& r, int y, uint32_t background, int tolerance) {
    int first = -1, last = -1;
    for (int x = r.left; x < r.right; ++x) {
        if (Near(image.At(x, y), background, tolerance)) continue;
        if (first < 0) first = x;
        last = x;
    }
    return {first, last};
}

void Bands(const Image& image, const Region& r, uint32_t background, int tolerance) {
    int top = -1, left = 0, right = 0;
    for (int y = r.top; y <= r.bottom; ++y) {
        const auto [first, last] = y < r.bottom ? RowInk(image, r, y, background, tolerance) : std::pair{-1, -1};
        if (first >= 0) {
            if (top < 0) {
                top = y;
                left = first;
                right = last;
            }
            left = std::min(left, first);
            right = std::max(right, last);
        } else if (top >= 0) {
            std::printf("%d %d %d %d\n", top, y - 1, left, right);
            top = -1;
        }
    }
}

void InkBox(const Image& image, const Region& r, uint32_t background, int tolerance) {
    int left = r.right, top = -1, right = -1, bottom = -1;
    for (int y = r.top; y < r.bottom; ++y) {
        const auto [first, last] = RowInk(image, r, y, background, tolerance);
        if (first < 0) continue;
        if (top < 0) top = y;
        bottom = y;
        left = std::min(left, first);
        right = std::max(right, last);
    }
    if (top >= 0) std::printf("%d %d %d %d\n", left, top, right, bottom);
}

int Diff(const Image& a, const Image& b, const Region& r, int tolerance) {
    if (a.width != b.width || a.height != b.height) Fail("the two images differ in size");
    int count = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (!Near(a.At(x, y), b.At(x, y), tolerance)) ++count;
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "count" && argc == 9) {
        const Image image = Load(argv[2]);
        std::printf("%d\n", Count(image, Clip(image, argv + 3), Colour(argv[7]), Number(argv[8])));
    } else if (command == "columns" && argc == 9) {
        const Image image = Load(argv[2]);
        std::printf("%d\n", Columns(image, Clip(image, argv + 3), Colour(argv[7]), Number(argv[8])));
    } else if (command == "top" && argc == 8) {
        const Image image = Load(argv[2]);
        Top(image, Clip(image, argv + 3), Number(argv[7]));
    } else if (command == "bands" && argc == 9) {
        const Image image = Load(argv[2]);
        Bands(image, Clip(image, argv + 3), Colour(argv[7]), Number(argv[8]));
    } else if (command == "inkbox" && argc == 9) {
        const Image image = Load(argv[2]);
        InkBox(image, Clip(image, argv + 3), Colour(argv[7]), Number(argv[8]));
    } else if (command == "diff" && argc == 9) {
        const Image a = Load(argv[2]);
        const Image b = Load(argv[3]);
        std::printf("%d\n", Diff(a, b, Clip(a, argv + 4), Number(argv[8])));
    } else {
        std::cerr << "usage: tw_pixels count|columns|top|bands|inkbox IMG X Y W H ... | diff IMG1 IMG2 X Y W H TOL\n";
        return 2;
    }
    return 0;
}
