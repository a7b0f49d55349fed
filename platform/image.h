// Memory images: pixel buffers the program draws into (through a DrawSurface),
// reads back, blits to windows and pages, and reads from and writes to files.
#pragma once

#include <memory>
#include <string>

#include "platform/types.h"

namespace platform {

class Image {
public:
    Image();  // null: no pixels
    // width x height pixels filled with `fill`. A monochrome image draws every
    // colour as black or white and reports itself monochrome to drawing code.
    Image(int width, int height, Color fill = MakeColor(255, 255, 255), bool monochrome = false);
    ~Image();
    Image(const Image& other);  // copies share pixels until one is changed
    Image& operator=(const Image& other);
    Image(Image&& other) noexcept;
    Image& operator=(Image&& other) noexcept;

    // Replaces the content; false (and a null image) for sizes below 1 or when
    // memory runs out.
    bool Create(int width, int height, Color fill = MakeColor(255, 255, 255), bool monochrome = false);
    bool IsNull() const;
    int Width() const;
    int Height() const;
    Size GetSize() const { return Size{Width(), Height()}; }
    bool IsMonochrome() const;
    // 96 pixels per inch unless set (kept in saved files).
    int PixelsPerInch() const;
    void SetPixelsPerInch(int ppi);

    void Fill(Color c);
    // False for a point outside the image.
    bool GetPixel(int x, int y, Color* c) const;
    Color PixelAt(int x, int y) const;  // black outside the image
    bool SetPixel(int x, int y, Color c);
    // The part inside `r` (clipped to the image); null when nothing is left.
    Image Copy(const Rect& r) const;
    // Same size and every pixel equal.
    bool SameContent(const Image& other) const;
    // Number of pixels that differ from `other` (all of them when sizes differ).
    long long CountDifferences(const Image& other) const;

    // The format follows the extension (.png, .bmp, .jpg); PNG when there is none
    // it knows. False when the file could not be written.
    bool Save(const std::string& path) const;
    // Any format the toolkit reads (PNG, BMP, JPEG, ...); false leaves the image unchanged.
    bool Load(const std::string& path);

    struct Impl;
    Impl* impl() const { return impl_.get(); }

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform
