// Common dialogs over Qt's file, colour and font dialogs, each answerable by
// the modal answerer.

#include "platform/commondlg.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QStringList>

#include "platform/app.h"
#include "platform/draw_qt.h"
#include "platform/window_qt.h"

namespace platform {

namespace {
QWidget* cdlg_OwnerWidget(Window* owner) {
    QWidget* w = owner ? WidgetOf(*owner) : nullptr;
    return w ? w->window() : nullptr;
}

std::string cdlg_Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return std::string();
    size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

// "Circuit files (*.cir)" with patterns "*.cir;*.ckt" becomes the Qt filter
// "Circuit files (*.cir *.ckt)": Qt reads the patterns from the parentheses,
// so the description's own parenthesised part gives way to the real patterns.
QString cdlg_QtFilter(const std::string& description, const std::string& patterns) {
    std::string desc = cdlg_Trim(description);
    if (!desc.empty() && desc.back() == ')') {
        size_t open = desc.rfind('(');
        if (open != std::string::npos) desc = cdlg_Trim(desc.substr(0, open));
    }
    QStringList list;
    for (const QString& p : ToQString(patterns).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        QString t = p.trimmed();
        if (t == QLatin1String("*.*")) t = QStringLiteral("*");
        list << t;
    }
    return ToQString(desc) + QStringLiteral(" (") + list.join(QLatin1Char(' ')) + QLatin1Char(')');
}
}  // namespace

// ---------------------------------------------------------------------------
// FileDialog

FileDialog::FileDialog(Mode mode) : mode_(mode) {}

void FileDialog::SetFilter(const std::string& filter) { filter_ = filter; }

void FileDialog::SetDefaultExtension(const std::string& ext) {
    defaultExt_ = (!ext.empty() && ext.front() == '.') ? ext.substr(1) : ext;
}

std::vector<std::pair<std::string, std::string>> FileDialog::FilterList() const {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= filter_.size()) {
        size_t bar = filter_.find('|', start);
        if (bar == std::string::npos) bar = filter_.size();
        parts.push_back(filter_.substr(start, bar - start));
        start = bar + 1;
    }
    std::vector<std::pair<std::string, std::string>> out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty() && parts[i + 1].empty()) break;  // the closing "||"
        out.emplace_back(parts[i], parts[i + 1]);
    }
    return out;
}

void FileDialog::ApplyDefaultExtension() {
    if (defaultExt_.empty()) return;
    for (std::string& path : paths_) {
        size_t slash = path.rfind('/');
        std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
        if (!name.empty() && name.find('.') == std::string::npos) path += "." + defaultExt_;
    }
}

int FileDialog::DoModal(Window* owner) {
    ModalScope modal;
    if (HasModalAnswerer()) {
        std::vector<std::string> before = paths_;
        paths_.clear();
        int answer = CallModalAnswerer(*this);
        if (answer != dlgid::Ok || paths_.empty()) {
            paths_ = before;
            return dlgid::Cancel;
        }
        if (mode_ != Mode::OpenMultiple && paths_.size() > 1) paths_.resize(1);
        ApplyDefaultExtension();
        return dlgid::Ok;
    }

    if (!QApplication::instance()) return dlgid::Cancel;
    QFileDialog dialog(cdlg_OwnerWidget(owner), ToQString(title_));
    dialog.setAcceptMode(mode_ == Mode::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(mode_ == Mode::Save           ? QFileDialog::AnyFile
                       : mode_ == Mode::OpenMultiple ? QFileDialog::ExistingFiles
                                                     : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !overwritePrompt_);
    QStringList filters;
    for (const auto& [desc, patterns] : FilterList()) filters << cdlg_QtFilter(desc, patterns);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        if (filterIndex_ >= 0 && filterIndex_ < filters.size()) dialog.selectNameFilter(filters[filterIndex_]);
    }
    if (!defaultExt_.empty()) dialog.setDefaultSuffix(ToQString(defaultExt_));
    if (!initialPath_.empty()) {
        QFileInfo info(ToQString(initialPath_));
        if (info.isDir()) {
            dialog.setDirectory(info.absoluteFilePath());
        } else {
            dialog.setDirectory(info.absolutePath());
            dialog.selectFile(info.fileName());
        }
    }
    if (dialog.exec() != QDialog::Accepted) return dlgid::Cancel;
    paths_.clear();
    for (const QString& f : dialog.selectedFiles()) paths_.push_back(f.toStdString());
    if (paths_.empty()) return dlgid::Cancel;
    filterIndex_ = std::max(0, static_cast<int>(filters.indexOf(dialog.selectedNameFilter())));
    ApplyDefaultExtension();
    return dlgid::Ok;
}

// ---------------------------------------------------------------------------
// FolderDialog

int FolderDialog::DoModal(Window* owner) {
    ModalScope modal;
    if (HasModalAnswerer()) {
        folder_.clear();
        const int answer = CallModalAnswerer(*this);
        if (answer != dlgid::Ok || folder_.empty() || !QFileInfo(ToQString(folder_)).isDir()) {
            folder_.clear();
            return dlgid::Cancel;
        }
        return dlgid::Ok;
    }
    if (!QApplication::instance()) return dlgid::Cancel;
    const QString start = initial_.empty() ? QDir::currentPath() : ToQString(initial_);
    const QString chosen =
        QFileDialog::getExistingDirectory(cdlg_OwnerWidget(owner), ToQString(title_), start, QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty() || !QFileInfo(chosen).isDir()) return dlgid::Cancel;
    folder_ = chosen.toStdString();
    return dlgid::Ok;
}

// ---------------------------------------------------------------------------
// ColorDialog

ColorDialog::ColorDialog(Color initial) : color_(initial) { custom_.fill(MakeColor(255, 255, 255)); }

int ColorDialog::DoModal(Window* owner) {
    ModalScope modal;
    if (HasModalAnswerer()) {
        Color before = color_;
        int answer = CallModalAnswerer(*this);
        if (answer != dlgid::Ok) {
            color_ = before;
            return dlgid::Cancel;
        }
        return dlgid::Ok;
    }
    if (!QApplication::instance()) return dlgid::Cancel;
    for (int i = 0; i < kCustomColors && i < QColorDialog::customCount(); ++i)
        QColorDialog::setCustomColor(i, ToQColor(custom_[i]));
    QColorDialog dialog(ToQColor(color_), cdlg_OwnerWidget(owner));
    int code = dialog.exec();
    for (int i = 0; i < kCustomColors && i < QColorDialog::customCount(); ++i)
        custom_[i] = FromQColor(QColorDialog::customColor(i));
    if (code != QDialog::Accepted) return dlgid::Cancel;
    color_ = FromQColor(dialog.selectedColor());
    return dlgid::Ok;
}

// ---------------------------------------------------------------------------
// FontDialog

FontDialog::FontDialog(const FontDesc& initial) : font_(initial) {}

int FontDialog::DoModal(Window* owner) {
    ModalScope modal;
    if (HasModalAnswerer()) {
        FontDesc before = font_;
        int answer = CallModalAnswerer(*this);
        if (answer != dlgid::Ok) {
            font_ = before;
            return dlgid::Cancel;
        }
        return dlgid::Ok;
    }
    if (!QApplication::instance()) return dlgid::Cancel;
    FontDesc start = font_;
    if (start.height == 0) start.height = DefaultFont().height;
    QFontDialog dialog(ToQFont(start, 1.0), cdlg_OwnerWidget(owner));
    if (dialog.exec() != QDialog::Accepted) return dlgid::Cancel;
    FontDesc chosen = FromQFont(dialog.selectedFont());
    chosen.escapement = font_.escapement;
    font_ = chosen;
    return dlgid::Ok;
}

}  // namespace platform
