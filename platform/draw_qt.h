// Private to platform/*.cpp: the bridge between drawing surfaces and Qt.
//
// A window's paint handler wraps its QPainter in a DrawSurface with
// CreateWidgetSurface, hands it to the program's paint code and then paints its
// OverlayLayer on top.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPicture>
#include <QString>
#include <QWidget>

#include <memory>
#include <string_view>

#include "platform/draw.h"
#include "platform/image.h"

namespace platform {

// A surface over a painter already active on `widget` (in its paint event);
// the painter must outlive the surface. Pixels per inch are the widget's
// logical resolution.
std::unique_ptr<DrawSurface> CreateWidgetSurface(QPainter& painter, QWidget& widget);

// A surface over any active painter, for devices the other factories do not
// cover. `deviceSize` is in pixels.
std::unique_ptr<DrawSurface> CreatePainterSurface(QPainter& painter, SurfaceKind kind, int ppiX, int ppiY,
                                                  Size deviceSize, bool monochrome);

// The painter behind a surface made by this layer (never null for those).
QPainter* PainterOf(DrawSurface& surface);

// Call after using PainterOf(surface) directly: the surface re-applies its
// pen, brush, font and clip to the painter before its next drawing.
void MarkPainterUsed(DrawSurface& surface);
// A logical rectangle in device pixels (left..right-1, top..bottom-1).
QRect DeviceRectOf(DrawSurface& surface, const Rect& r);

// Images and pictures as Qt objects (the image's pixels are Format_RGB32).
QImage& ImageData(Image& image);
const QImage& ImageData(const Image& image);
Image ImageFromQImage(const QImage& image);
const QPicture& PictureData(const Picture& picture);

QColor ToQColor(Color c);
Color FromQColor(const QColor& c);
// The program's text bytes: UTF-8, or Latin-1 when they are not valid UTF-8.
QString ToQString(std::string_view text);
// A QFont for `font` whose pixel size is the font height scaled by
// `pixelsPerLogical` (device pixels per logical unit on the y axis).
QFont ToQFont(const FontDesc& font, double pixelsPerLogical);
// The description of a QFont, heights in pixels (negative: character height).
FontDesc FromQFont(const QFont& font);

}  // namespace platform
