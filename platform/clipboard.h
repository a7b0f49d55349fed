// The desktop clipboard: text and pictures.
#pragma once

#include <string>

namespace platform {

class Image;    // platform/image.h
class Picture;  // platform/draw.h

namespace clipboard {

// Text is exchanged as UTF-8 bytes (bytes that are not UTF-8 are taken as
// Latin-1, as everywhere in the layer); line ends are left as they are.
bool SetText(const std::string& text);
bool HasText();
std::string GetText();

bool SetImage(const Image& image);
bool HasImage();
// False (and the image unchanged) when the clipboard holds no picture.
bool GetImage(Image& image);

// A recorded picture, with a rendering of it as an image for programs that
// cannot read our picture format.
bool SetPicture(const Picture& picture);
bool HasPicture();
// False (and the picture unchanged) when the clipboard holds none of ours.
bool GetPicture(Picture& picture);

void Clear();

}  // namespace clipboard
}  // namespace platform
