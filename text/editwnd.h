// The program's own text editor window: a TextBuffer (text/textbuffer.h) shown
// in a fixed-pitch grid of character cells, with SPICE comments in their own
// colour and brackets coloured by their nesting depth. Text pages of circuits
// and text documents each own one; without a window the editor is a plain
// buffer that the compiler, find and printing read.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/draw.h"
#include "platform/window.h"
#include "text/textbuffer.h"

class CCTDoc;
class CMDIView;
struct FontSpec;

// Editor commands (the window's command table).
namespace editcmd {
constexpr int UpperCase = 3801;
constexpr int LowerCase = 3802;
constexpr int CutLine = 3803;
constexpr int DeleteToEndOfLine = 3804;
constexpr int MatchBracket = 17219;
// Opens what the statement at the caret calls, includes or names (text/opendef.h).
constexpr int OpenDefinition = 3805;
}  // namespace editcmd

// Rows of the colour table that colour brackets by nesting depth: depth d
// uses row d mod 12.
constexpr int kBracketColorRows = 12;

// For each byte of a text, the colour-table row of the bracket at that place
// (by nesting depth, as the expression fields colour theirs), or -1 for bytes
// that keep the plain colour: every byte but '(' and ')', and brackets met
// while the depth is not above 0.
void BracketColorRows(std::string_view text, std::vector<int>* rows);

// Where the comment of a line starts: the first ';' that does not begin
// ";$TWE" and, with `starComments`, a '*' preceded only by blanks and TABs
// (printing colours whole '*' lines); npos when none.
size_t CommentStart(std::string_view row, bool starComments);

class CTxtEditWnd : public platform::Window, private TextBufferObserver {
public:
    explicit CTxtEditWnd(CCTDoc* document = nullptr);
    ~CTxtEditWnd() override;

    TextBuffer& Buffer() { return buffer_; }
    const TextBuffer& Buffer() const { return buffer_; }
    CCTDoc* Document() const { return document_; }
    void SetDocument(CCTDoc* document) { document_ = document; }

    // The window, a visible child of `parent` filling its client area, or a
    // top-level window when `parent` is null.
    bool CreateEditor(platform::Window* parent, int controlId, const platform::Rect& rect);
    int ControlId() const { return controlId_; }

    // Font and colours (rgb values); SetFont recomputes the grid.
    void SetFont(const platform::FontDesc& font, bool redraw);
    void SetColors(platform::Color text, platform::Color comment, platform::Color background);
    platform::Color TextColor() const { return textColor_; }
    platform::Color CommentColor() const { return commentColor_; }

    // Scrolling.
    int64_t GetFirstVisibleLine() const { return firstLine_; }
    void SetFirstVisibleLine(int64_t line);
    // Brings an offset's line into view when it is above the top line or more
    // than a page below it: line - rows/3 becomes the top line.
    void ScrollToChar(int64_t offset);
    void ScrollCaretIntoView();
    int Rows() const { return rows_; }
    int Cols() const { return cols_; }
    int64_t HorizontalScroll() const { return hScroll_; }
    // The user's scroll-bar actions: the view moves, and the caret keeps its
    // cell in the grid (its offset follows the cell) without a selection.
    // `thumb` is the bar position for ScrollCode::Thumb.
    void CaretCell(int* row, int64_t* col) const;
    void VScroll(platform::ScrollCode code, int thumb);
    void HScroll(platform::ScrollCode code, int thumb);
    // Brings both scroll bars up to date with the text, the grid and the view.
    void UpdateScrollBars();
    // Lines per vertical scroll-bar position, so that any line count fits
    // the bar's range.
    int64_t ScrollFactor() const;
    // The widest line in columns plus 2 (the horizontal bar's range).
    int64_t WidestLine() const;
    // Index of the editor's page in its document's page table, -1 when none.
    int PageIndex() const;

    // Draws the visible rows onto a surface of the client's size.
    void PaintRows(platform::DrawSurface& surface);

    // Runs an editor command (editcmd:: and the framework's edit ids); false
    // when it is not one.
    bool RunEditCommand(int id);

protected:
    void OnCreate() override;
    void OnPaint(platform::DrawSurface& surface, const platform::Rect& update) override;
    void OnKeyDown(int key, bool repeat, unsigned modifiers) override;
    void OnChar(int ch) override;
    void OnMouseDown(platform::MouseButton button, platform::Point p, unsigned keyFlags) override;
    void OnMouseMove(platform::Point p, unsigned keyFlags) override;
    void OnMouseUp(platform::MouseButton button, platform::Point p, unsigned keyFlags) override;
    void OnDoubleClick(platform::MouseButton button, platform::Point p, unsigned keyFlags) override;
    void OnWheel(int delta, platform::Point p, unsigned keyFlags) override;
    void OnSetFocus() override;
    void OnTimer(int id) override;
    void OnSize(int width, int height) override;
    void OnScroll(platform::ScrollBar bar, platform::ScrollCode code, int thumb) override;

private:
    void TextChanged(int64_t offset) override;
    void ContentChanged() override;
    void Measure();
    int64_t OffsetAtPoint(platform::Point p) const;
    void Refresh();
    // After a scroll: the caret onto the grid cell it stood in before.
    void PlaceCaretAtCell(int row, int64_t col);
    // Left edge of a grid column, in pixels.
    int CellX(int64_t col) const { return static_cast<int>(std::lround(static_cast<double>(col) * charWidth_)); }

    TextBuffer buffer_;
    CCTDoc* document_ = nullptr;
    int controlId_ = 0;
    platform::FontDesc font_;
    int lineHeight_ = 16;
    double charWidth_ = 8;
    int rows_ = 1;
    int cols_ = 1;
    int64_t firstLine_ = 0;
    int64_t hScroll_ = 0;
    // The widest line, counted again after the text changed.
    mutable int64_t widestLine_ = 2;
    mutable bool widestDirty_ = true;
    platform::Color textColor_;
    platform::Color commentColor_;
    platform::Color backgroundColor_;
    bool dragging_ = false;
    platform::Point dragPoint_{0, 0};
};
