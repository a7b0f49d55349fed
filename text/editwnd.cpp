#include "text/editwnd.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "document/ctdoc.h"
#include "platform/image.h"
#include "platform/keys.h"
#include "shell/colortable.h"
#include "shell/document.h"
#include "text/find.h"
#include "text/finddlg.h"
#include "text/opendef.h"

namespace {

constexpr int kDragTimer = 5678;
constexpr int kDragPeriodMs = 500;

platform::Color ew_Row(int index, platform::Color fallback) {
    const ColorTableRow* row = GetColorRow(index);
    return row ? row->color : fallback;
}

// A line's bytes as drawn: TABs expanded, CR and LF as nothing.
std::string ew_Expand(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    for (char c : line) {
        if (c == '\t') {
            const size_t next = (out.size() / TextBuffer::kTabWidth + 1) * TextBuffer::kTabWidth;
            out.append(next - out.size(), ' ');
        } else if (c != '\r' && c != '\n') {
            out += c;
        }
    }
    return out;
}

}  // namespace

void BracketColorRows(std::string_view text, std::vector<int>* rows) {
    rows->assign(text.size(), -1);
    int depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '(') ++depth;
        if ((text[i] == '(' || text[i] == ')') && depth >= 1) (*rows)[i] = depth % kBracketColorRows;
        if (text[i] == ')') --depth;
    }
}

size_t CommentStart(std::string_view row, bool starComments) {
    bool blanksOnly = true;
    for (size_t i = 0; i < row.size(); ++i) {
        const char c = row[i];
        if (c == ';' && row.substr(i, 5) != ";$TWE") return i;
        if (c == '*' && starComments && blanksOnly) return i;
        if (c != ' ' && c != '\t') blanksOnly = false;
    }
    return std::string_view::npos;
}

CTxtEditWnd::CTxtEditWnd(CCTDoc* document)
    : document_(document),
      textColor_(platform::MakeColor(0, 0, 0)),
      commentColor_(platform::MakeColor(0, 0, 255)),
      backgroundColor_(platform::MakeColor(255, 255, 255)) {
    font_.face = "DejaVu Sans Mono";
    font_.fixedPitch = true;
    font_.height = -13;
    buffer_.SetObserver(this);
    if (document_) {
        textColor_ = ew_Row(document_->textPageFont.color, textColor_);
        commentColor_ = ew_Row(document_->textCommentColor.color, commentColor_);
        backgroundColor_ = ew_Row(document_->textBackgroundColor.color, backgroundColor_);
    }
}

CTxtEditWnd::~CTxtEditWnd() {
    buffer_.SetObserver(nullptr);
    Destroy();
}

bool CTxtEditWnd::CreateEditor(platform::Window* parent, int controlId, const platform::Rect& rect) {
    controlId_ = controlId;
    if (!Create(parent, rect)) return false;
    SetCursorShape(platform::CursorShape::IBeam);
    SetBackgroundColor(backgroundColor_);
    Show();
    UpdateScrollBars();
    return true;
}

void CTxtEditWnd::OnCreate() { Measure(); }

void CTxtEditWnd::Measure() {
    platform::Image probe(8, 8);
    std::unique_ptr<platform::DrawSurface> s = platform::CreateImageSurface(probe);
    if (s) {
        s->SetFont(font_);
        const platform::TextMetrics m = s->GetTextMetrics();
        lineHeight_ = std::max(1, m.height + m.externalLeading);
        // The cell width to a hundredth of a pixel: text runs advance by the
        // font's own (fractional) width, and whole-pixel cells would let a long
        // run drift away from the caret, the selection and the mouse.
        const std::string probeText(100, 'M');
        charWidth_ = std::max(1.0, s->GetTextExtent(probeText).cx / 100.0);
    }
    const platform::Rect r = Exists() ? ClientRect() : platform::Rect{0, 0, 0, 0};
    rows_ = std::max(1, (r.bottom - r.top) / lineHeight_);
    cols_ = std::max(1, static_cast<int>((r.right - r.left) / charWidth_));
}

void CTxtEditWnd::SetFont(const platform::FontDesc& font, bool redraw) {
    font_ = font;
    font_.fixedPitch = true;
    Measure();
    if (redraw) Refresh();
}

void CTxtEditWnd::SetColors(platform::Color text, platform::Color comment, platform::Color background) {
    textColor_ = text;
    commentColor_ = comment;
    backgroundColor_ = background;
    if (Exists()) SetBackgroundColor(background);
    Refresh();
}

void CTxtEditWnd::Refresh() {
    if (!Exists()) return;
    UpdateScrollBars();
    Invalidate();
}

int CTxtEditWnd::PageIndex() const {
    if (!document_) return -1;
    for (int i = 0; i < document_->PageCount(); ++i) {
        const int kind = document_->PageKind(i);
        if ((kind == kPageText || kind == kPageInfo) && document_->Page(i)->editor == this) return i;
    }
    return -1;
}

// ---- scrolling -------------------------------------------------------------------------------

void CTxtEditWnd::SetFirstVisibleLine(int64_t line) {
    firstLine_ = std::clamp<int64_t>(line, 0, std::max<int64_t>(0, buffer_.GetLineCount() - 1));
    Refresh();
}

void CTxtEditWnd::ScrollToChar(int64_t offset) {
    const int64_t line = buffer_.LineFromChar(offset);
    if (line < 0) return;
    if (line < firstLine_ || line > firstLine_ + rows_) SetFirstVisibleLine(std::max<int64_t>(0, line - rows_ / 3));
}

void CTxtEditWnd::ScrollCaretIntoView() {
    const int64_t line = buffer_.LineFromChar(buffer_.Caret());
    if (line < firstLine_)
        firstLine_ = line;
    else if (line >= firstLine_ + rows_)
        firstLine_ = line - rows_ + 1;
    const int64_t col = buffer_.ColumnOf(buffer_.Caret());
    if (col < hScroll_)
        hScroll_ = col;
    else if (col > hScroll_ + cols_ - 5)
        hScroll_ = std::max<int64_t>(0, col - cols_ + 10);
    Refresh();
}

int64_t CTxtEditWnd::WidestLine() const {
    if (widestDirty_) {
        widestLine_ = buffer_.WidestLine();
        widestDirty_ = false;
    }
    return widestLine_;
}

int64_t CTxtEditWnd::ScrollFactor() const {
    constexpr int64_t kMaxPositions = 32767;
    return std::max<int64_t>(1, (buffer_.GetLineCount() + kMaxPositions - 1) / kMaxPositions);
}

void CTxtEditWnd::UpdateScrollBars() {
    if (!Exists()) return;
    const int64_t factor = ScrollFactor();
    platform::ScrollState v;
    v.max = static_cast<int>(buffer_.GetLineCount() / factor);
    v.page = rows_;
    v.pos = static_cast<int>(firstLine_ / factor);
    SetScrollState(platform::ScrollBar::Vertical, v);
    platform::ScrollState h;
    h.max = static_cast<int>(std::min<int64_t>(WidestLine(), INT32_MAX));
    h.page = cols_;
    h.pos = static_cast<int>(std::min<int64_t>(hScroll_, INT32_MAX));
    SetScrollState(platform::ScrollBar::Horizontal, h);
}

void CTxtEditWnd::PlaceCaretAtCell(int row, int64_t col) {
    const int64_t line = std::min<int64_t>(firstLine_ + row, buffer_.GetLineCount() - 1);
    buffer_.MoveCaretTo(buffer_.OffsetAtColumn(buffer_.LineIndex(line), hScroll_ + col), false);
}

// The caret's cell in the window, kept inside it: scrolling keeps the caret
// at that place on screen.
void CTxtEditWnd::CaretCell(int* row, int64_t* col) const {
    const int64_t caret = buffer_.Caret();
    *row = static_cast<int>(std::clamp<int64_t>(buffer_.LineFromChar(caret) - firstLine_, 0, rows_ - 1));
    *col = std::clamp<int64_t>(buffer_.ColumnOf(caret) - hScroll_, 0, cols_);
}

void CTxtEditWnd::VScroll(platform::ScrollCode code, int thumb) {
    using platform::ScrollCode;
    int row = 0;
    int64_t col = 0;
    CaretCell(&row, &col);
    const int64_t last = std::max<int64_t>(0, buffer_.GetLineCount() - 1);
    int64_t top = firstLine_;
    switch (code) {
    case ScrollCode::LineUp: --top; break;
    case ScrollCode::LineDown: ++top; break;
    case ScrollCode::PageUp: top -= rows_; break;
    case ScrollCode::PageDown: top += rows_; break;
    case ScrollCode::Thumb: top = static_cast<int64_t>(thumb) * ScrollFactor(); break;
    case ScrollCode::Top:
        firstLine_ = 0;
        buffer_.MoveCaretTo(0, false);
        Refresh();
        return;
    case ScrollCode::Bottom: top = last; break;
    }
    firstLine_ = std::clamp<int64_t>(top, 0, last);
    PlaceCaretAtCell(row, col);
    Refresh();
}

void CTxtEditWnd::HScroll(platform::ScrollCode code, int thumb) {
    using platform::ScrollCode;
    int row = 0;
    int64_t col = 0;
    CaretCell(&row, &col);
    const int64_t right = std::max<int64_t>(0, WidestLine() - cols_);
    int64_t left = hScroll_;
    switch (code) {
    case ScrollCode::LineUp: --left; break;
    case ScrollCode::LineDown: ++left; break;
    case ScrollCode::PageUp: left -= cols_; break;
    case ScrollCode::PageDown: left += cols_; break;
    case ScrollCode::Thumb: left = thumb; break;
    case ScrollCode::Top: left = 0; break;
    case ScrollCode::Bottom: left = right; break;
    }
    hScroll_ = std::clamp<int64_t>(left, 0, right);
    PlaceCaretAtCell(row, col);
    Refresh();
}

void CTxtEditWnd::OnScroll(platform::ScrollBar bar, platform::ScrollCode code, int thumb) {
    if (bar == platform::ScrollBar::Vertical)
        VScroll(code, thumb);
    else
        HScroll(code, thumb);
}

// ---- painting --------------------------------------------------------------------------------

void CTxtEditWnd::PaintRows(platform::DrawSurface& s) {
    const platform::Size size = s.DeviceSize();
    s.FillRect(platform::Rect{0, 0, size.cx, size.cy}, backgroundColor_);
    s.SetFont(font_);
    s.SetBackgroundMode(platform::BackgroundMode::Transparent);
    s.SetTextAlign(platform::TextAlign::Left | platform::TextAlign::Top);
    const platform::Color text = textColor_ == backgroundColor_ ? (backgroundColor_ ^ 0xFFFFFFu) : textColor_;
    int64_t selStart = 0, selEnd = 0;
    buffer_.GetSel(&selStart, &selEnd);
    int64_t lineStart = buffer_.LineIndex(firstLine_);
    std::vector<int> brackets;
    for (int row = 0; row <= rows_ && lineStart >= 0; ++row) {
        const int64_t lineLength = buffer_.LineLength(lineStart);
        const std::string_view raw(buffer_.Data() + lineStart, static_cast<size_t>(lineLength));
        const std::string cells = ew_Expand(raw);
        const size_t comment = CommentStart(cells, false);
        BracketColorRows(cells.substr(0, comment == std::string::npos ? cells.size() : comment), &brackets);
        const int y = row * lineHeight_;
        // Runs of one colour, each from its own column so fixed pitch holds.
        size_t at = static_cast<size_t>(std::min<int64_t>(hScroll_, static_cast<int64_t>(cells.size())));
        while (at < cells.size()) {
            platform::Color c = text;
            size_t end = at + 1;
            if (comment != std::string::npos && at >= comment) {
                c = commentColor_;
                end = cells.size();
            } else if (at < brackets.size() && brackets[at] >= 0) {
                c = GetColorRow(brackets[at]) ? GetColorRow(brackets[at])->color : text;
            } else {
                while (end < cells.size() && (comment == std::string::npos || end < comment) &&
                       !(end < brackets.size() && brackets[end] >= 0))
                    ++end;
            }
            s.SetTextColor(c);
            s.TextOut(platform::Point{CellX(static_cast<int64_t>(at) - hScroll_), y},
                      std::string_view(cells).substr(at, end - at));
            at = end;
        }
        // The selection is shown inverted over the row's text.
        const int64_t lineEnd = lineStart + lineLength;
        if (selEnd > selStart && selStart <= lineEnd && selEnd >= lineStart) {
            const int64_t from = buffer_.ColumnOf(std::max(selStart, lineStart)) - hScroll_;
            const int64_t to = buffer_.ColumnOf(std::min(selEnd, lineEnd)) - hScroll_ + (selEnd > lineEnd ? 1 : 0);
            if (to > from) {
                const platform::Rect r{CellX(from), y, CellX(to),
                                       y + lineHeight_};
                s.FillRect(r, text);
                s.SetTextColor(backgroundColor_);
                const size_t a = static_cast<size_t>(std::max<int64_t>(0, from + hScroll_));
                if (a < cells.size())
                    s.TextOut(platform::Point{r.left, y},
                              std::string_view(cells).substr(a, static_cast<size_t>(to - from)));
            }
        }
        if (lineEnd >= buffer_.Length()) break;
        lineStart = lineEnd + 2;
    }
    // The caret: a thin bar in the text colour.
    if (HasFocus() || !Exists()) {
        const int64_t line = buffer_.LineFromChar(buffer_.Caret());
        if (line >= firstLine_ && line < firstLine_ + rows_ + 1) {
            const int x = CellX(buffer_.ColumnOf(buffer_.Caret()) - hScroll_);
            const int y = static_cast<int>((line - firstLine_) * lineHeight_);
            s.FillRect(platform::Rect{x, y, x + 2, y + lineHeight_}, text);
        }
    }
}

void CTxtEditWnd::OnPaint(platform::DrawSurface& surface, const platform::Rect&) { PaintRows(surface); }

// ---- input -----------------------------------------------------------------------------------

bool CTxtEditWnd::RunEditCommand(int id) {
    TextBuffer& b = buffer_;
    switch (id) {
    case viewcmd::EditCut: b.Cut(); break;
    case viewcmd::EditCopy: b.Copy(); break;
    case viewcmd::EditPaste: b.Paste(); break;
    case viewcmd::EditClear: b.DeleteForward(); break;
    case viewcmd::EditUndo: b.Undo(); break;
    case viewcmd::EditRedo: b.Redo(); break;
    case viewcmd::EditSelectAll:
        if (!b.IsReadOnly()) b.SelectAll();
        break;
    case editcmd::UpperCase: b.ChangeCase(true); break;
    case editcmd::LowerCase: b.ChangeCase(false); break;
    case editcmd::CutLine: b.CutLine(); break;
    case editcmd::DeleteToEndOfLine: b.DeleteToEndOfLine(); break;
    case editcmd::MatchBracket: b.MatchBracket(); break;
    case editcmd::OpenDefinition: OpenDefinitionAtCaret(this); return true;
    default: return false;
    }
    ScrollCaretIntoView();
    return true;
}

void CTxtEditWnd::OnKeyDown(int code, bool, unsigned modifiers) {
    const bool shift = (modifiers & platform::ModShift) != 0;
    const bool ctrl = (modifiers & platform::ModCtrl) != 0;
    using Move = TextBuffer::Move;
    namespace key = platform::key;
    if (ctrl) {
        static const struct {
            int key;
            int command;
        } kCtrlKeys[] = {
            {'X', viewcmd::EditCut},           {'C', viewcmd::EditCopy},
            {'V', viewcmd::EditPaste},         {'Z', viewcmd::EditUndo},
            {'Y', viewcmd::EditRedo},          {'A', viewcmd::EditSelectAll},
            {'U', editcmd::UpperCase},         {'L', editcmd::LowerCase},
            {'D', editcmd::DeleteToEndOfLine}, {key::RightBracket, editcmd::MatchBracket},
            {key::Insert, viewcmd::EditCopy},
        };
        for (const auto& k : kCtrlKeys)
            if (k.key == code) {
                RunEditCommand(k.command);
                return;
            }
    }
    if (shift && code == key::Delete) {
        RunEditCommand(viewcmd::EditCut);
        return;
    }
    if (shift && code == key::Insert) {
        RunEditCommand(viewcmd::EditPaste);
        return;
    }
    switch (code) {
    case key::Left: buffer_.MoveCaret(Move::kLeft, shift, ctrl); break;
    case key::Right: buffer_.MoveCaret(Move::kRight, shift, ctrl); break;
    case key::Up: buffer_.MoveCaret(ctrl ? Move::kParagraphUp : Move::kUp, shift, false); break;
    case key::Down: buffer_.MoveCaret(ctrl ? Move::kParagraphDown : Move::kDown, shift, false); break;
    case key::Home: buffer_.MoveCaret(Move::kHome, shift, ctrl); break;
    case key::End: buffer_.MoveCaret(Move::kEnd, shift, ctrl); break;
    case key::PageUp:
    case key::PageDown: {
        const int64_t step = code == key::PageUp ? -rows_ : rows_;
        const int64_t line =
            std::clamp<int64_t>(buffer_.LineFromChar(buffer_.Caret()) + step, 0, buffer_.GetLineCount() - 1);
        firstLine_ = std::clamp<int64_t>(firstLine_ + step, 0, std::max<int64_t>(0, buffer_.GetLineCount() - 1));
        buffer_.MoveCaretTo(buffer_.OffsetAtColumn(buffer_.LineIndex(line), buffer_.ColumnOf(buffer_.Caret())), shift);
        break;
    }
    case key::Delete: buffer_.TypeChar(1); break;
    case key::Function(3):  // Repeat Last Find; the Find dialog while there is nothing to repeat
        FindInTextWindow(this, this, false);
        return;
    default: return;
    }
    ScrollCaretIntoView();
}

void CTxtEditWnd::OnChar(int ch) {
    if (ch > 255) {
        buffer_.TypeChar(0);  // beeps: only single bytes are text here
        return;
    }
    if (buffer_.TypeChar(ch)) ScrollCaretIntoView();
}

int64_t CTxtEditWnd::OffsetAtPoint(platform::Point p) const {
    const int row = std::clamp(p.y / lineHeight_, 0, rows_);
    const int col = std::clamp(static_cast<int>(std::floor(p.x / charWidth_)), 0, cols_);
    const int64_t line = std::min<int64_t>(firstLine_ + row, buffer_.GetLineCount() - 1);
    return buffer_.OffsetAtColumn(buffer_.LineIndex(line), col + hScroll_);
}

void CTxtEditWnd::OnMouseDown(platform::MouseButton button, platform::Point p, unsigned) {
    SetFocus();
    if (button != platform::MouseButton::Left) return;
    buffer_.MoveCaretTo(OffsetAtPoint(p), false);
    dragging_ = true;
    dragPoint_ = p;
    SetCapture();
    SetTimer(kDragTimer, kDragPeriodMs);
    Refresh();
}

void CTxtEditWnd::OnMouseMove(platform::Point p, unsigned) {
    if (!dragging_) return;
    dragPoint_ = p;
    const platform::Rect r = ClientRect();
    if (p.y < r.top && firstLine_ > 0) --firstLine_;
    if (p.y >= r.bottom && firstLine_ + 1 < buffer_.GetLineCount()) ++firstLine_;
    if (p.x < r.left && hScroll_ > 0) --hScroll_;
    if (p.x >= r.right) ++hScroll_;
    buffer_.MoveCaretTo(OffsetAtPoint(p), true);
    Refresh();
}

void CTxtEditWnd::OnMouseUp(platform::MouseButton, platform::Point, unsigned) {
    if (!dragging_) return;
    dragging_ = false;
    KillTimer(kDragTimer);
    ReleaseCapture();
}

void CTxtEditWnd::OnDoubleClick(platform::MouseButton, platform::Point p, unsigned) {
    if (!buffer_.HasSelection()) buffer_.SelectWordAt(OffsetAtPoint(p));
    Refresh();
}

void CTxtEditWnd::OnWheel(int delta, platform::Point, unsigned) {
    SetFirstVisibleLine(firstLine_ + (delta > 0 ? -1 : 1));
}

void CTxtEditWnd::OnSetFocus() {
    buffer_.CloseUndoGroup();
    Refresh();
}

void CTxtEditWnd::OnTimer(int id) {
    if (id == kDragTimer && dragging_) OnMouseMove(dragPoint_, platform::MouseLeft);
}

void CTxtEditWnd::OnSize(int, int) {
    buffer_.ClearSelection();
    hScroll_ = 0;
    Measure();
    Refresh();
}

void CTxtEditWnd::TextChanged(int64_t) {
    widestDirty_ = true;
    firstLine_ = std::clamp<int64_t>(firstLine_, 0, std::max<int64_t>(0, buffer_.GetLineCount() - 1));
    Refresh();
}

void CTxtEditWnd::ContentChanged() {
    if (document_) document_->MarkDirty();
}
