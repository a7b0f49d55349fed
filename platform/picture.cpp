// Recorded pictures over QPicture.
#include <QPicture>

#include "platform/draw.h"
#include "platform/draw_qt.h"

namespace platform {

namespace {
// A picture without a claimed frame accepts drawing anywhere in 16-bit space.
constexpr int kPictureOpenExtent = 32767;
}  // namespace

struct Picture::Impl {
    QPicture picture;
    QPainter painter;
    std::unique_ptr<DrawSurface> surface;
    Size bounds;
};

Picture::Picture() : impl_(std::make_unique<Impl>()) {}

Picture::~Picture() {
    if (impl_) End();
}

Picture::Picture(Picture&&) noexcept = default;
Picture& Picture::operator=(Picture&& other) noexcept {
    if (this != &other) {
        if (impl_) End();
        impl_ = std::move(other.impl_);
    }
    return *this;
}

DrawSurface& Picture::Begin(Size bounds) {
    if (!impl_) impl_ = std::make_unique<Impl>();
    End();
    impl_->picture = QPicture();
    impl_->bounds = bounds;
    impl_->painter.begin(&impl_->picture);
    int ppiX = impl_->picture.logicalDpiX(), ppiY = impl_->picture.logicalDpiY();
    Size device = (bounds.cx > 0 && bounds.cy > 0) ? bounds : Size{kPictureOpenExtent, kPictureOpenExtent};
    impl_->surface = CreatePainterSurface(impl_->painter, SurfaceKind::Picture, ppiX, ppiY, device, false);
    return *impl_->surface;
}

void Picture::End() {
    if (!impl_ || !impl_->surface) return;
    impl_->surface.reset();
    impl_->painter.end();
    if (impl_->bounds.cx > 0 && impl_->bounds.cy > 0)
        impl_->picture.setBoundingRect(QRect(0, 0, impl_->bounds.cx, impl_->bounds.cy));
}

bool Picture::IsRecording() const { return impl_ && impl_->surface; }

bool Picture::IsEmpty() const { return !impl_ || impl_->picture.isNull(); }

Rect Picture::Bounds() const {
    if (IsEmpty()) return Rect{};
    QRect b = impl_->picture.boundingRect();
    return Rect{b.left(), b.top(), b.left() + b.width(), b.top() + b.height()};
}

void Picture::Play(DrawSurface& target) const {
    if (IsEmpty() || IsRecording()) return;
    QPainter* p = PainterOf(target);
    if (!p) return;
    p->save();
    p->drawPicture(0, 0, impl_->picture);
    p->restore();
    MarkPainterUsed(target);
}

void Picture::Play(DrawSurface& target, const Rect& dest) const {
    if (IsEmpty() || IsRecording()) return;
    Rect b = Bounds();
    QRect d = DeviceRectOf(target, dest);
    if (b.IsEmpty() || d.isEmpty()) return;
    QPainter* p = PainterOf(target);
    if (!p) return;
    p->save();
    p->translate(d.left(), d.top());
    p->scale(double(d.width()) / b.Width(), double(d.height()) / b.Height());
    p->translate(-b.left, -b.top);
    p->drawPicture(0, 0, impl_->picture);
    p->restore();
    MarkPainterUsed(target);
}

bool Picture::Save(const std::string& path) const {
    if (IsEmpty() || IsRecording() || path.empty()) return false;
    return const_cast<QPicture&>(impl_->picture).save(QString::fromStdString(path));
}

bool Picture::Load(const std::string& path) {
    if (!impl_) impl_ = std::make_unique<Impl>();
    End();
    QPicture loaded;
    if (!loaded.load(QString::fromStdString(path)) || loaded.isNull()) return false;
    impl_->picture = loaded;
    impl_->bounds = Size{};
    return true;
}

const QPicture& PictureData(const Picture& picture) {
    static const QPicture pic_nullPicture;
    return picture.impl() ? picture.impl()->picture : pic_nullPicture;
}

}  // namespace platform
