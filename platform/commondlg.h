// The desktop's common dialogs: choosing files to open or save, a colour and a
// font. Each runs modally and, like every modal run, is answered by the modal
// answerer when one is set (the answerer fills in the choice and returns
// dlgid::Ok or dlgid::Cancel), so tests and batch runs never show one.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "platform/dialog.h"
#include "platform/draw.h"
#include "platform/types.h"

namespace platform {

class Window;

class FileDialog : public ModalRequest {
public:
    enum class Mode { Open, OpenMultiple, Save };

    explicit FileDialog(Mode mode = Mode::Open);
    ModalKind Kind() const override { return mode_ == Mode::Save ? ModalKind::FileSave : ModalKind::FileOpen; }
    Mode GetMode() const { return mode_; }

    // Filters in the program's form: pairs of a description and its patterns
    // (";" between patterns), all separated by "|", ending in an optional "||":
    // "Circuit files (*.cir)|*.cir|All files (*.*)|*.*||". Patterns compare
    // without regard to case.
    void SetFilter(const std::string& filter);
    const std::string& Filter() const { return filter_; }
    // The filter parsed into (description, patterns) pairs.
    std::vector<std::pair<std::string, std::string>> FilterList() const;
    // 0-based; after the run, the filter the user chose.
    void SetFilterIndex(int index) { filterIndex_ = index; }
    int FilterIndex() const { return filterIndex_; }
    // Without the dot ("cir"); appended to a chosen name that has no extension.
    void SetDefaultExtension(const std::string& ext);
    const std::string& DefaultExtension() const { return defaultExt_; }
    void SetTitle(const std::string& title) { title_ = title; }
    const std::string& Title() const { return title_; }
    // A folder, or a file path whose name is proposed.
    void SetInitialPath(const std::string& path) { initialPath_ = path; }
    const std::string& InitialPath() const { return initialPath_; }
    // Save: ask before replacing an existing file (on by default).
    void SetOverwritePrompt(bool on) { overwritePrompt_ = on; }
    bool OverwritePrompt() const { return overwritePrompt_; }

    // 1 when files were chosen, 2 when cancelled.
    int DoModal(Window* owner = nullptr);
    // The chosen files, full paths; the default extension is applied.
    const std::vector<std::string>& Paths() const { return paths_; }
    std::string Path() const { return paths_.empty() ? std::string() : paths_.front(); }
    // For answerers: the files the "user" chose (one unless OpenMultiple).
    void SetPaths(std::vector<std::string> paths) { paths_ = std::move(paths); }

private:
    void ApplyDefaultExtension();

    Mode mode_;
    std::string filter_;
    int filterIndex_ = 0;
    std::string defaultExt_;
    std::string title_;
    std::string initialPath_;
    bool overwritePrompt_ = true;
    std::vector<std::string> paths_;
};

// Choosing a folder: only existing folders of the file system can be chosen.
class FolderDialog : public ModalRequest {
public:
    FolderDialog() = default;
    ModalKind Kind() const override { return ModalKind::FolderChoice; }

    void SetTitle(const std::string& title) { title_ = title; }
    const std::string& Title() const { return title_; }
    // The folder selected when the dialog opens (the current one when empty).
    void SetInitialFolder(const std::string& folder) { initial_ = folder; }
    const std::string& InitialFolder() const { return initial_; }

    // 1 when a folder was chosen (Folder), 2 when cancelled. An answerer's
    // choice that is no existing folder counts as cancelled.
    int DoModal(Window* owner = nullptr);
    const std::string& Folder() const { return folder_; }
    // For answerers: the folder the "user" chose.
    void SetFolder(const std::string& folder) { folder_ = folder; }

private:
    std::string title_;
    std::string initial_;
    std::string folder_;
};

class ColorDialog : public ModalRequest {
public:
    static constexpr int kCustomColors = 16;

    explicit ColorDialog(Color initial = MakeColor(0, 0, 0));
    ModalKind Kind() const override { return ModalKind::ColorChoice; }

    void SetColor(Color c) { color_ = c; }
    Color GetColor() const { return color_; }
    // The custom colour row shown in the dialog; after the run it holds what
    // the user defined there.
    std::array<Color, kCustomColors>& CustomColors() { return custom_; }
    const std::array<Color, kCustomColors>& CustomColors() const { return custom_; }

    // 1 when a colour was chosen (GetColor), 2 when cancelled.
    int DoModal(Window* owner = nullptr);

private:
    Color color_;
    std::array<Color, kCustomColors> custom_{};
};

class FontDialog : public ModalRequest {
public:
    explicit FontDialog(const FontDesc& initial = FontDesc{});
    ModalKind Kind() const override { return ModalKind::FontChoice; }

    // Heights in pixels of a 96-per-inch screen (negative: character height).
    void SetFont(const FontDesc& font) { font_ = font; }
    const FontDesc& GetFont() const { return font_; }
    // The text colour travels with the font for callers that keep one; the
    // dialog leaves it unchanged.
    void SetColor(Color c) { color_ = c; }
    Color GetColor() const { return color_; }

    // 1 when a font was chosen (GetFont), 2 when cancelled.
    int DoModal(Window* owner = nullptr);

private:
    FontDesc font_;
    Color color_ = MakeColor(0, 0, 0);
};

}  // namespace platform
