// The desktop clipboard through QClipboard.
#include "platform/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include <stdlib.h>
#include <unistd.h>

#include "platform/draw.h"
#include "platform/draw_qt.h"
#include "platform/image.h"

namespace platform {
namespace clipboard {

namespace {

const char* const cb_kPictureType = "application/x-tarnwick-picture";

QClipboard* cb_Board() { return QGuiApplication::instance() ? QGuiApplication::clipboard() : nullptr; }

}  // namespace

bool SetText(const std::string& text) {
    QClipboard* board = cb_Board();
    if (!board) return false;
    board->setText(ToQString(text));
    return true;
}

bool HasText() {
    QClipboard* board = cb_Board();
    const QMimeData* data = board ? board->mimeData() : nullptr;
    return data && data->hasText();
}

std::string GetText() {
    QClipboard* board = cb_Board();
    if (!board) return std::string();
    return board->text().toStdString();
}

bool SetImage(const Image& image) {
    QClipboard* board = cb_Board();
    if (!board || image.IsNull()) return false;
    board->setImage(ImageData(image));
    return true;
}

bool HasImage() {
    QClipboard* board = cb_Board();
    const QMimeData* data = board ? board->mimeData() : nullptr;
    return data && data->hasImage();
}

bool GetImage(Image& image) {
    QClipboard* board = cb_Board();
    if (!board) return false;
    const QImage q = board->image();
    if (q.isNull()) return false;
    image = ImageFromQImage(q);
    return true;
}

bool SetPicture(const Picture& picture) {
    QClipboard* board = cb_Board();
    if (!board || picture.IsEmpty() || picture.IsRecording()) return false;
    const QPicture& q = PictureData(picture);
    auto* data = new QMimeData();
    data->setData(cb_kPictureType, QByteArray(q.data(), static_cast<qsizetype>(q.size())));
    const Rect bounds = picture.Bounds();
    if (!bounds.IsEmpty()) {
        Image rendered(bounds.Width(), bounds.Height());
        {
            std::unique_ptr<DrawSurface> surface = CreateImageSurface(rendered);
            picture.Play(*surface, Rect{0, 0, bounds.Width(), bounds.Height()});
        }
        data->setImageData(ImageData(rendered));
    }
    board->setMimeData(data);
    return true;
}

bool HasPicture() {
    QClipboard* board = cb_Board();
    const QMimeData* data = board ? board->mimeData() : nullptr;
    return data && data->hasFormat(cb_kPictureType);
}

bool GetPicture(Picture& picture) {
    QClipboard* board = cb_Board();
    const QMimeData* data = board ? board->mimeData() : nullptr;
    if (!data || !data->hasFormat(cb_kPictureType)) return false;
    const QByteArray bytes = data->data(cb_kPictureType);
    // Pictures are read from files only: go through a private temporary one.
    char path[] = "/tmp/tw_clip_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return false;
    const bool written = write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    close(fd);
    Picture loaded;
    const bool ok = written && loaded.Load(path);
    unlink(path);
    if (!ok) return false;
    picture = std::move(loaded);
    return true;
}

void Clear() {
    if (QClipboard* board = cb_Board()) board->clear();
}

}  // namespace clipboard
}  // namespace platform
