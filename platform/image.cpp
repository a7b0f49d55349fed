// Image over QImage (32-bit RGB pixels, shared between copies until written).
#include "platform/image.h"

#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <cmath>

#include "platform/draw_qt.h"

namespace platform {

struct Image::Impl {
    QImage image;
    bool monochrome = false;
};

namespace {

constexpr int kImageDefaultPpi = 96;

int img_DotsPerMeter(int ppi) { return static_cast<int>(std::lround(ppi / 0.0254)); }

Color img_MapColor(Color c, bool mono) {
    if (!mono) return c;
    int lum = (RedOf(c) * 30 + GreenOf(c) * 59 + BlueOf(c) * 11) / 100;
    return lum >= 128 ? MakeColor(255, 255, 255) : MakeColor(0, 0, 0);
}

QRgb img_ToRgb(Color c) { return qRgb(RedOf(c), GreenOf(c), BlueOf(c)); }

Color img_FromRgb(QRgb v) { return MakeColor(qRed(v), qGreen(v), qBlue(v)); }

}  // namespace

Image::Image() = default;

Image::Image(int width, int height, Color fill, bool monochrome) { Create(width, height, fill, monochrome); }

Image::~Image() = default;

Image::Image(const Image& other) : impl_(other.impl_ ? std::make_unique<Impl>(*other.impl_) : nullptr) {}

Image& Image::operator=(const Image& other) {
    if (this != &other) impl_ = other.impl_ ? std::make_unique<Impl>(*other.impl_) : nullptr;
    return *this;
}

Image::Image(Image&& other) noexcept = default;
Image& Image::operator=(Image&& other) noexcept = default;

bool Image::Create(int width, int height, Color fill, bool monochrome) {
    impl_.reset();
    if (width < 1 || height < 1) return false;
    auto impl = std::make_unique<Impl>();
    impl->image = QImage(width, height, QImage::Format_RGB32);
    if (impl->image.isNull()) return false;  // out of memory or absurd size
    impl->monochrome = monochrome;
    impl->image.setDotsPerMeterX(img_DotsPerMeter(kImageDefaultPpi));
    impl->image.setDotsPerMeterY(img_DotsPerMeter(kImageDefaultPpi));
    impl->image.fill(img_ToRgb(img_MapColor(fill, monochrome)));
    impl_ = std::move(impl);
    return true;
}

bool Image::IsNull() const { return !impl_ || impl_->image.isNull(); }

int Image::Width() const { return impl_ ? impl_->image.width() : 0; }

int Image::Height() const { return impl_ ? impl_->image.height() : 0; }

bool Image::IsMonochrome() const { return impl_ && impl_->monochrome; }

int Image::PixelsPerInch() const {
    if (IsNull()) return kImageDefaultPpi;
    int ppi = static_cast<int>(std::lround(impl_->image.dotsPerMeterX() * 0.0254));
    return ppi > 0 ? ppi : kImageDefaultPpi;
}

void Image::SetPixelsPerInch(int ppi) {
    if (IsNull() || ppi <= 0) return;
    impl_->image.setDotsPerMeterX(img_DotsPerMeter(ppi));
    impl_->image.setDotsPerMeterY(img_DotsPerMeter(ppi));
}

void Image::Fill(Color c) {
    if (!IsNull()) impl_->image.fill(img_ToRgb(img_MapColor(c, impl_->monochrome)));
}

bool Image::GetPixel(int x, int y, Color* c) const {
    if (IsNull() || !impl_->image.valid(x, y)) return false;
    if (c) *c = img_FromRgb(impl_->image.pixel(x, y));
    return true;
}

Color Image::PixelAt(int x, int y) const {
    Color c = MakeColor(0, 0, 0);
    GetPixel(x, y, &c);
    return c;
}

bool Image::SetPixel(int x, int y, Color c) {
    if (IsNull() || !impl_->image.valid(x, y)) return false;
    impl_->image.setPixel(x, y, img_ToRgb(img_MapColor(c, impl_->monochrome)));
    return true;
}

Image Image::Copy(const Rect& r) const {
    Image out;
    if (IsNull()) return out;
    QRect area = QRect(r.left, r.top, std::max(0, r.Width()), std::max(0, r.Height())).intersected(impl_->image.rect());
    if (area.isEmpty()) return out;
    out.impl_ = std::make_unique<Impl>();
    out.impl_->image = impl_->image.copy(area);
    out.impl_->monochrome = impl_->monochrome;
    return out;
}

bool Image::SameContent(const Image& other) const { return CountDifferences(other) == 0; }

long long Image::CountDifferences(const Image& other) const {
    // Images of different sizes differ everywhere.
    long long area = static_cast<long long>(std::max(Width(), other.Width())) * std::max(Height(), other.Height());
    if (IsNull() || other.IsNull() || GetSize() != other.GetSize()) return area;
    const QImage& a = impl_->image;
    const QImage& b = other.impl_->image;
    long long diff = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb* ra = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const QRgb* rb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            if ((ra[x] & 0xFFFFFF) != (rb[x] & 0xFFFFFF)) ++diff;
    }
    return diff;
}

bool Image::Save(const std::string& path) const {
    if (IsNull() || path.empty()) return false;
    QString name = QString::fromStdString(path);
    QByteArray suffix = QFileInfo(name).suffix().toLower().toLatin1();
    QByteArray format = "PNG";
    if (!suffix.isEmpty() && QImageWriter::supportedImageFormats().contains(suffix)) format = suffix;
    QImageWriter writer(name, format);
    return writer.write(impl_->image);
}

bool Image::Load(const std::string& path) {
    QImageReader reader(QString::fromStdString(path));
    QImage loaded = reader.read();
    if (loaded.isNull()) return false;
    auto impl = std::make_unique<Impl>();
    impl->image = loaded.convertToFormat(QImage::Format_RGB32);
    if (impl->image.isNull()) return false;
    impl_ = std::move(impl);
    return true;
}

QImage& ImageData(Image& image) {
    if (image.impl()) return image.impl()->image;
    // A null image has no pixels to hand out; callers see an empty QImage.
    static thread_local QImage img_nullImage;
    img_nullImage = QImage();
    return img_nullImage;
}

const QImage& ImageData(const Image& image) {
    static const QImage img_constNullImage;
    return image.impl() ? image.impl()->image : img_constNullImage;
}

Image ImageFromQImage(const QImage& image) {
    Image out;
    if (image.isNull()) return out;
    QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    if (rgb.isNull()) return out;
    out.Create(1, 1);
    out.impl()->image = rgb;
    return out;
}

}  // namespace platform
