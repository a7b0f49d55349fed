#include "text/textbuffer.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

#include "core/report_port.h"
#include "core/result.h"
#include "platform/clipboard.h"

namespace {

int64_t tb_CountLineFeeds(std::string_view s) {
    int64_t n = 0;
    const char* p = s.data();
    const char* end = p + s.size();
    while (p < end) {
        const void* hit = std::memchr(p, '\n', static_cast<size_t>(end - p));
        if (!hit) break;
        ++n;
        p = static_cast<const char*>(hit) + 1;
    }
    return n;
}

void tb_ReportNoMemory() { Reporter().Report(Message(kResultNoMemory)); }

// Texts from Unix files and the desktop clipboard end their lines with LF
// alone; the buffer keeps CR LF, so each bare LF gains its CR instead of
// being blanked out (which would run every line into one).
bool tb_HasBareLineFeed(std::string_view s) {
    for (size_t at = s.find('\n'); at != std::string_view::npos; at = s.find('\n', at + 1))
        if (at == 0 || s[at - 1] != '\r') return true;
    return false;
}

std::string tb_ExpandLineFeeds(std::string_view s) {
    std::string out;
    out.reserve(s.size() + s.size() / 16 + 4);
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\n' && (i == 0 || s[i - 1] != '\r')) out += '\r';
        out += s[i];
    }
    return out;
}

}  // namespace

bool IsEditorWordChar(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return std::isalnum(u) || std::strchr("$%*+-./_", c) != nullptr;
}

TextBuffer::TextBuffer() : buf_("\r\n") {}

// ---- text ------------------------------------------------------------------------------------

int64_t TextBuffer::GetText(char* out, int64_t size) const {
    if (!out || size <= 0) return 0;
    const int64_t n = std::min(Length(), size - 1);
    std::memcpy(out, buf_.data(), static_cast<size_t>(n));
    out[n] = 0;
    return n;
}

char TextBuffer::CharAt(int64_t offset) const { return offset >= 0 && offset < Length() ? buf_[offset] : 0; }

bool TextBuffer::SetText(std::string_view text) {
    std::string fresh;
    try {
        fresh.reserve(text.size() + 2);
    } catch (const std::bad_alloc&) {
        tb_ReportNoMemory();
        return false;
    }
    fresh.assign(text.data(), text.size());
    return TakeText(std::move(fresh));
}

bool TextBuffer::TakeText(std::string&& fresh) {
    // The text ends at its first NUL, as a C string handed in would.
    if (const size_t nul = fresh.find('\0'); nul != std::string::npos) fresh.resize(nul);
    try {
        if (tb_HasBareLineFeed(fresh)) fresh = tb_ExpandLineFeeds(fresh);
        fresh += "\r\n";
    } catch (const std::bad_alloc&) {
        tb_ReportNoMemory();
        return false;
    }
    buf_.swap(fresh);
    CloseUndoGroup();
    caret_ = anchor_ = joinOffset_ = 0;
    selection_ = false;
    lineStarts_.clear();
    lineCount_ = tb_CountLineFeeds(Text()) + 1;
    Normalise(0, Length());
    Changed(0, false);
    return true;
}

bool TextBuffer::LoadText(std::string_view text) {
    if (!SetText(text)) return false;
    readOnly_ = false;  // a load ends a read-only state
    return true;
}

bool TextBuffer::LoadText(std::string&& text) {
    if (!TakeText(std::move(text))) return false;
    readOnly_ = false;
    return true;
}

void TextBuffer::EnsureFinalNewline() {
    const int64_t n = Length();
    if (n <= 2 || buf_[n - 1] == '\n') return;
    const bool was = suspended_;
    suspended_ = true;
    if (RawInsert(n, "\r\n")) Changed(n, false);
    suspended_ = was;
}

// ---- lines -----------------------------------------------------------------------------------

int64_t TextBuffer::LineStartOf(int64_t offset) const {
    offset = std::clamp<int64_t>(offset, 0, Length());
    while (offset > 0 && buf_[offset - 1] != '\n') --offset;
    return offset;
}

int64_t TextBuffer::LineEndOf(int64_t offset) const {
    offset = std::clamp<int64_t>(offset, 0, Length());
    const void* cr = std::memchr(buf_.data() + offset, '\r', buf_.size() - static_cast<size_t>(offset));
    return static_cast<const char*>(cr) - buf_.data();  // the sentinel stops the scan
}

int64_t TextBuffer::LineFromChar(int64_t offset) const {
    if (offset < 0) {
        int64_t start = 0;
        GetSel(&start, nullptr);
        offset = start;
    }
    if (offset > Length()) return -1;
    return tb_CountLineFeeds(std::string_view(buf_.data(), static_cast<size_t>(offset)));
}

int64_t TextBuffer::LineIndex(int64_t line) const {
    if (line == -1) {
        int64_t start = 0;
        GetSel(&start, nullptr);
        return LineStartOf(start);
    }
    if (line < 0 || line >= lineCount_) return -1;
    if (!lineStarts_.empty() && line < static_cast<int64_t>(lineStarts_.size())) return lineStarts_[line];
    // Count from whichever end is nearer: jumping to the last lines of a long
    // text should not walk all of it.
    if (line > lineCount_ / 2) {
        int64_t l = lineCount_ - 1;
        int64_t at = Length();
        while (true) {
            int64_t start = at;
            while (start > 0 && buf_[start - 1] != '\n') --start;
            if (l == line) return start;
            --l;
            at = start - 1;
        }
    }
    int64_t at = 0;
    for (int64_t l = 0; l < line; ++l) {
        const void* lf = std::memchr(buf_.data() + at, '\n', static_cast<size_t>(Length() - at));
        if (!lf) return -1;
        at = static_cast<const char*>(lf) - buf_.data() + 1;
    }
    return at;
}

int64_t TextBuffer::LineLength(int64_t offset) const {
    if (offset < 0 || offset > Length()) return 0;
    return LineEndOf(offset) - offset;
}

std::string TextBuffer::GetLine(int64_t line) const {
    if (line == -1) line = LineFromChar(caret_);
    const int64_t start = LineIndex(line);
    if (start < 0) return {};
    return std::string(buf_.data() + start, static_cast<size_t>(LineEndOf(start) - start));
}

int64_t TextBuffer::GetLine(int64_t line, char* out, int64_t size) const {
    if (!out || size <= 0) return 0;
    const std::string s = GetLine(line);
    const int64_t n = std::min<int64_t>(static_cast<int64_t>(s.size()), size - 1);
    std::memcpy(out, s.data(), static_cast<size_t>(n));
    out[n] = 0;
    return n;
}

int64_t TextBuffer::ColumnOf(int64_t offset) const {
    offset = std::clamp<int64_t>(offset, 0, Length());
    int64_t col = 0;
    for (int64_t i = LineStartOf(offset); i < offset; ++i)
        col = buf_[i] == '\t' ? (col / kTabWidth + 1) * kTabWidth : col + 1;
    return col;
}

int64_t TextBuffer::OffsetAtColumn(int64_t lineStart, int64_t col) const {
    int64_t at = std::clamp<int64_t>(lineStart, 0, Length());
    int64_t c = 0;
    while (at < Length() && buf_[at] != '\r') {
        const int64_t next = buf_[at] == '\t' ? (c / kTabWidth + 1) * kTabWidth : c + 1;
        if (next > col) break;
        c = next;
        ++at;
    }
    return at;
}

int64_t TextBuffer::WidestLine() const {
    int64_t widest = 0, col = 0;
    for (int64_t i = 0; i < Length(); ++i) {
        const char c = buf_[i];
        if (c == '\n') {
            widest = std::max(widest, col);
            col = 0;
        } else if (c == '\t') {
            col = (col / kTabWidth + 1) * kTabWidth;
        } else if (c != '\r') {
            ++col;
        }
    }
    return std::max(widest, col) + 2;
}

void TextBuffer::BuildLineIndex() {
    lineStarts_.clear();
    try {
        lineStarts_.reserve(static_cast<size_t>(lineCount_) + 1);
    } catch (const std::bad_alloc&) {
        return;  // LineIndex counts instead
    }
    lineStarts_.push_back(0);
    for (int64_t i = 0; i < Length(); ++i)
        if (buf_[i] == '\n') lineStarts_.push_back(i + 1);
}

void TextBuffer::FreeLineIndex() {
    lineStarts_.clear();
    lineStarts_.shrink_to_fit();
    Changed(0, false);
}

void TextBuffer::DeleteLine(int64_t line) {
    const int64_t start = LineIndex(line);
    if (start < 0) return;
    int64_t end = LineEndOf(start);
    if (end < Length()) {
        end += 2;  // with its line end
    } else if (start > 0) {
        // The last line: the line end before it goes, so no empty line is left.
        RawErase(start - 2, end - start + 2);
        caret_ = std::min(caret_, Length());
        anchor_ = std::min(anchor_, Length());
        return;
    }
    RawErase(start, end - start);
    auto keep = [&](int64_t& at) {
        if (at >= end)
            at -= end - start;
        else if (at > start)
            at = start;
    };
    keep(caret_);
    keep(anchor_);
}

// ---- caret and selection ---------------------------------------------------------------------

int TextBuffer::GetSel(int64_t* start, int64_t* end) const {
    int64_t s = caret_, e = caret_;
    if (HasSelection()) {
        s = std::min(anchor_, caret_);
        e = std::max(anchor_, caret_);
    }
    if (start) *start = s;
    if (end) *end = e;
    return HasSelection() && anchor_ < caret_ ? 1 : 0;
}

void TextBuffer::SetSel(int64_t start, int64_t end) {
    if (start == 0 && end == -1) {
        anchor_ = Length();
        caret_ = 0;
    } else {
        anchor_ = std::clamp<int64_t>(start, 0, Length());
        caret_ = std::clamp<int64_t>(end, 0, Length());
    }
    selection_ = anchor_ != caret_;
    Changed(0, false);
}

void TextBuffer::ClearSelection() {
    selection_ = false;
    anchor_ = caret_;
}

void TextBuffer::MoveCaretTo(int64_t offset, bool extend) {
    offset = std::clamp<int64_t>(offset, 0, Length());
    if (extend) {
        if (!HasSelection()) anchor_ = caret_;
        caret_ = offset;
        selection_ = anchor_ != caret_;
    } else {
        caret_ = anchor_ = offset;
        selection_ = false;
    }
}

std::string TextBuffer::GetSelectedText() const {
    int64_t s = 0, e = 0;
    GetSel(&s, &e);
    return std::string(buf_.data() + s, static_cast<size_t>(e - s));
}

// ---- raw edits -------------------------------------------------------------------------------

bool TextBuffer::Reserve(int64_t extra) {
    const size_t needed = buf_.size() + static_cast<size_t>(extra) + 1;
    if (needed <= buf_.capacity()) return true;
    try {
        // Growth steps of at least 4096 bytes keep typing cheap.
        buf_.reserve(std::max(needed, buf_.capacity() + 4096));
    } catch (const std::bad_alloc&) {
        tb_ReportNoMemory();
        return false;
    } catch (const std::length_error&) {
        tb_ReportNoMemory();
        return false;
    }
    return true;
}

bool TextBuffer::RawInsert(int64_t at, std::string_view text) {
    if (text.empty()) return true;
    if (!Reserve(static_cast<int64_t>(text.size()))) return false;
    at = std::clamp<int64_t>(at, 0, Length());
    buf_.insert(static_cast<size_t>(at), text.data(), text.size());
    lineCount_ += tb_CountLineFeeds(text);
    Normalise(at, at + static_cast<int64_t>(text.size()));
    return true;
}

void TextBuffer::RawErase(int64_t at, int64_t count) {
    at = std::clamp<int64_t>(at, 0, Length());
    count = std::clamp<int64_t>(count, 0, Length() - at);
    if (count == 0) return;
    lineCount_ -= tb_CountLineFeeds(std::string_view(buf_.data() + at, static_cast<size_t>(count)));
    buf_.erase(static_cast<size_t>(at), static_cast<size_t>(count));
    Normalise(at, at);
}

void TextBuffer::Normalise(int64_t from, int64_t to) {
    from = std::max<int64_t>(0, from - 1);
    to = std::min<int64_t>(Length(), to + 1);
    for (int64_t i = from; i < to; ++i) {
        char& c = buf_[i];
        if (c == '\r' && buf_[i + 1] != '\n') {
            c = ' ';
        } else if (c == '\n' && (i == 0 || buf_[i - 1] != '\r')) {
            c = ' ';
            --lineCount_;
        }
    }
}

void TextBuffer::Changed(int64_t offset, bool recorded) {
    if (!observer_) return;
    observer_->TextChanged(offset);
    if (recorded) observer_->ContentChanged();
}

// ---- undo recording --------------------------------------------------------------------------

TextUndoEntry* TextBuffer::EntryFor(bool deletion, bool forceNew) {
    if (!Recording()) return nullptr;
    TextUndoEntry* e = undo_.get();
    bool join = !forceNew && e && e->kind == kUndoTextChange && !e->closed && (e->count == 0 || caret_ == joinOffset_);
    if (join && deletion) {
        for (size_t i = 0; i < e->count; ++i)
            if (e->items[i].kind == TextUndoKind::kInsertChar || e->items[i].kind == TextUndoKind::kInsertText)
                join = false;
    }
    if (join) return e;
    try {
        auto fresh = std::make_unique<TextUndoEntry>();
        fresh->label = "Text change";
        undo_ = std::move(fresh);
    } catch (const std::bad_alloc&) {
        undo_.reset();  // the edit is still made, unrecorded
        return nullptr;
    }
    return undo_.get();
}

void TextBuffer::Record(TextUndoEntry* entry, TextUndoItem item) {
    if (!entry) return;
    try {
        entry->items.resize(entry->count);  // an undone tail goes
        if (entry->items.size() >= kMaxUndoItems) entry->items.erase(entry->items.begin(), entry->items.begin() + 1024);
        entry->items.push_back(std::move(item));
        entry->count = entry->items.size();
    } catch (const std::bad_alloc&) {
        // Kept unrecorded.
    }
}

void TextBuffer::DeleteSelectionRecorded(bool forceNewEntry) {
    int64_t s = 0, e = 0;
    GetSel(&s, &e);
    if (e <= s) return;
    caret_ = s;
    TextUndoEntry* entry = EntryFor(true, forceNewEntry);
    if (entry) {
        TextUndoItem item;
        item.kind = TextUndoKind::kDeleteText;
        item.offset = s;
        item.text.assign(buf_.data() + s, static_cast<size_t>(e - s));
        Record(entry, std::move(item));
    }
    RawErase(s, e - s);
    ClearSelection();
    caret_ = anchor_ = s;
    joinOffset_ = caret_;
}

void TextBuffer::InsertTextRecorded(std::string_view text, bool joinCurrent) {
    const int64_t at = caret_;
    TextUndoEntry* entry = nullptr;
    if (Recording())
        entry = joinCurrent && undo_ && undo_->kind == kUndoTextChange ? undo_.get() : EntryFor(false, true);
    if (!RawInsert(at, text)) return;
    if (entry) {
        TextUndoItem item;
        item.kind = TextUndoKind::kInsertText;
        item.offset = at;
        item.text.assign(text.data(), text.size());
        Record(entry, std::move(item));
    }
    caret_ = anchor_ = std::min<int64_t>(at + static_cast<int64_t>(text.size()), Length());
    joinOffset_ = caret_;
}

void TextBuffer::DeleteCharRecorded(int64_t at) {
    if (at < 0 || at >= Length()) return;
    const char c = buf_[at];
    const int64_t count = c == '\r' ? 2 : 1;  // a line end goes as a pair
    caret_ = anchor_ = at;
    if (TextUndoEntry* entry = EntryFor(true, false)) {
        TextUndoItem item;
        item.kind = TextUndoKind::kDeleteChar;
        item.offset = at;
        item.ch = c == '\r' ? '\n' : c;  // a line end is recorded by its LF
        Record(entry, std::move(item));
    }
    RawErase(at, count);
    joinOffset_ = caret_;
}

// ---- edits -----------------------------------------------------------------------------------

void TextBuffer::ReplaceSel(std::string_view text) {
    if (readOnly_) return;
    std::string expanded;
    if (tb_HasBareLineFeed(text)) {
        try {
            expanded = tb_ExpandLineFeeds(text);
        } catch (const std::bad_alloc&) {
            tb_ReportNoMemory();
            return;
        }
        text = expanded;
    }
    int64_t s = 0;
    GetSel(&s, nullptr);
    // The replaced text and the new one form one entry, so Undo brings the
    // replaced text back.
    const bool hadSelection = HasSelection();
    if (hadSelection) DeleteSelectionRecorded(true);
    if (!text.empty()) InsertTextRecorded(text, hadSelection);
    Changed(s, true);
}

void TextBuffer::ReplaceLines(int64_t firstLine, int64_t lastLine, std::string_view text) {
    const int64_t start = LineIndex(firstLine);
    if (start < 0) return;
    int64_t end = LineIndex(lastLine + 1);
    if (end < 0) end = Length();
    SetSel(start, std::max(start, end));
    ReplaceSel(text);
}

bool TextBuffer::TypeChar(int code) {
    if (readOnly_ || code == 27) return false;
    if (code == 10) code = 13;
    const bool printable = (code >= 32 && code <= 126) || code == 9 || code == 13;
    if (!printable && code != 1 && code != 8) {
        Reporter().Beep();
        return false;
    }
    int64_t changedAt = caret_;
    if (HasSelection()) {
        GetSel(&changedAt, nullptr);
        DeleteSelectionRecorded(false);
        if (code == 1 || code == 8) {
            Changed(changedAt, true);
            return true;
        }
    }
    ClearSelection();
    if (code == 1) {
        if (caret_ >= Length()) return false;
        DeleteCharRecorded(caret_);
    } else if (code == 8) {
        if (caret_ == 0) return false;
        // At a line start the whole CR LF before it goes.
        const int64_t at = buf_[caret_ - 1] == '\n' && caret_ >= 2 ? caret_ - 2 : caret_ - 1;
        caret_ = anchor_ = at;
        DeleteCharRecorded(at);
        changedAt = at;
    } else {
        const char c = static_cast<char>(code == 13 ? '\r' : code);
        const int64_t at = caret_;
        TextUndoEntry* entry = EntryFor(false, false);
        if (!RawInsert(at, code == 13 ? std::string_view("\r\n") : std::string_view(&c, 1))) return false;
        if (entry) {
            TextUndoItem item;
            item.kind = TextUndoKind::kInsertChar;
            item.offset = at;
            item.ch = c;  // Enter records only its CR
            Record(entry, std::move(item));
        }
        joinOffset_ = at + 1;
        caret_ = anchor_ = at + (code == 13 ? 2 : 1);
    }
    Changed(changedAt, true);
    return true;
}

void TextBuffer::DeleteForward() { TypeChar(1); }

void TextBuffer::DeleteToEndOfLine() {
    if (readOnly_) return;
    ClearSelection();
    const int64_t end = LineEndOf(caret_);
    if (end <= caret_) return;
    SetSel(caret_, end);
    DeleteSelectionRecorded(false);
    Changed(caret_, true);
}

bool TextBuffer::Copy() const {
    if (readOnly_) return false;
    return platform::clipboard::SetText(GetSelectedText());
}

void TextBuffer::Cut() {
    if (readOnly_) return;
    Copy();
    DeleteForward();
}

void TextBuffer::CutLine() {
    if (readOnly_) return;
    if (HasSelection()) {
        Cut();
        return;
    }
    const int64_t start = LineStartOf(caret_);
    int64_t end = LineEndOf(caret_);
    if (end < Length()) end += 2;
    SetSel(start, end);
    Copy();
    DeleteSelectionRecorded(false);
    Changed(start, true);
}

void TextBuffer::Paste() {
    if (readOnly_ || !platform::clipboard::HasText()) return;
    ReplaceSel(platform::clipboard::GetText());
}

void TextBuffer::PushSnapshot(const char* label) {
    try {
        auto entry = std::make_unique<TextUndoEntry>();
        entry->kind = kUndoTextSnapshot;
        entry->label = label;
        entry->closed = true;
        entry->snapshot.assign(buf_.data(), static_cast<size_t>(Length()));
        GetSel(&entry->snapshotStart, &entry->snapshotEnd);
        // The snapshot is of the state before: "applied" until undone.
        entry->items.resize(1);
        entry->count = 1;
        undo_ = std::move(entry);
    } catch (const std::bad_alloc&) {
        undo_.reset();
    }
}

void TextBuffer::ChangeCase(bool upper) {
    if (readOnly_) return;
    PushSnapshot(upper ? "Upper case" : "Lower case");
    int64_t s = 0, e = 0;
    GetSel(&s, &e);
    if (e <= s) return;
    for (int64_t i = s; i < e; ++i) {
        const char c = buf_[i];
        if (upper && c >= 'a' && c <= 'z') buf_[i] = static_cast<char>(c - 'a' + 'A');
        if (!upper && c >= 'A' && c <= 'Z') buf_[i] = static_cast<char>(c - 'A' + 'a');
    }
    Changed(s, true);
}

bool TextBuffer::ReplaceWholeText(std::string_view text, const char* label) {
    if (readOnly_) return false;
    PushSnapshot(label);
    std::unique_ptr<TextUndoEntry> keep = std::move(undo_);
    const bool ok = SetText(text);
    undo_ = std::move(keep);
    if (!ok) {
        undo_.reset();
        return false;
    }
    Changed(0, true);
    return true;
}

// ---- caret movement --------------------------------------------------------------------------

void TextBuffer::MoveCaret(Move move, bool shift, bool ctrl) {
    int64_t to = caret_;
    const int64_t n = Length();
    switch (move) {
    case Move::kLeft:
        if (ctrl) {
            const int64_t lineStart = LineStartOf(caret_);
            to = caret_;
            while (to > lineStart && buf_[to - 1] == ' ') --to;
            while (to > lineStart && IsEditorWordChar(buf_[to - 1])) --to;
        } else if (to > 0) {
            to -= (to >= 2 && buf_[to - 1] == '\n') ? 2 : 1;
        }
        break;
    case Move::kRight:
        if (ctrl) {
            const int64_t lineEnd = LineEndOf(caret_);
            while (to < lineEnd && IsEditorWordChar(buf_[to])) ++to;
            while (to < lineEnd && !IsEditorWordChar(buf_[to]) && buf_[to] != ' ') ++to;
            while (to < lineEnd && buf_[to] == ' ') ++to;
        } else if (to < n) {
            to += buf_[to] == '\r' ? 2 : 1;
        }
        break;
    case Move::kUp:
    case Move::kDown: {
        const int64_t line = LineFromChar(caret_) + (move == Move::kUp ? -1 : 1);
        const int64_t start = LineIndex(line);
        if (start >= 0) to = OffsetAtColumn(start, ColumnOf(caret_));
        break;
    }
    case Move::kHome: to = ctrl ? 0 : LineStartOf(caret_); break;
    case Move::kEnd: to = ctrl ? n : LineEndOf(caret_); break;
    case Move::kParagraphDown: {
        to = n;
        for (int64_t at = LineEndOf(caret_); at < n; at = LineEndOf(at + 2)) {
            if (at + 2 <= n && buf_[at + 2] == '\r' && at + 2 < n) {
                to = at + 2;
                break;
            }
        }
        break;
    }
    case Move::kParagraphUp: {
        to = 0;
        int64_t start = LineStartOf(caret_);
        while (start > 0) {
            start = LineStartOf(start - 2);
            if (buf_[start] == '\r') {
                to = start;
                break;
            }
        }
        break;
    }
    }
    MoveCaretTo(to, shift);
}

bool TextBuffer::MatchBracket() {
    if (HasSelection()) return false;
    const char c = CharAt(caret_);
    const char* open = "([{";
    const char* close = ")]}";
    const char* o = std::strchr(open, c);
    const char* cl = std::strchr(close, c);
    if (!c || (!o && !cl)) return false;
    const char self = c;
    const char partner = o ? close[o - open] : open[cl - close];
    const int step = o ? 1 : -1;
    int depth = 0;
    for (int64_t i = caret_; i >= 0 && i < Length(); i += step) {
        if (buf_[i] == self) ++depth;
        if (buf_[i] == partner && --depth == 0) {
            MoveCaretTo(i, false);
            return true;
        }
    }
    return false;
}

void TextBuffer::SelectWordAt(int64_t offset) {
    offset = std::clamp<int64_t>(offset, 0, Length());
    int64_t s = offset, e = offset;
    while (s > 0 && IsEditorWordChar(buf_[s - 1])) --s;
    while (e < Length() && IsEditorWordChar(buf_[e])) ++e;
    SetSel(s, e);
}

// ---- applying the undo entry -----------------------------------------------------------------

int TextBuffer::ApplyNothing() {
    Reporter().Beep();
    return 0;
}

void TextBuffer::ApplyItem(const TextUndoItem& item, bool inverse) {
    ClearSelection();
    caret_ = anchor_ = std::clamp<int64_t>(item.offset, 0, Length());
    TextUndoKind kind = item.kind;
    if (inverse) {
        switch (kind) {
        case TextUndoKind::kInsertChar: kind = TextUndoKind::kDeleteChar; break;
        case TextUndoKind::kInsertText: kind = TextUndoKind::kDeleteText; break;
        case TextUndoKind::kDeleteChar: kind = TextUndoKind::kInsertChar; break;
        case TextUndoKind::kDeleteText: kind = TextUndoKind::kInsertText; break;
        case TextUndoKind::kOverwriteChar: break;
        }
    }
    switch (kind) {
    case TextUndoKind::kInsertChar:
        if (item.ch == '\r' || item.ch == '\n') {
            RawInsert(caret_, "\r\n");
            caret_ += 2;
        } else {
            RawInsert(caret_, std::string_view(&item.ch, 1));
            caret_ += 1;
        }
        break;
    case TextUndoKind::kInsertText:
        RawInsert(caret_, item.text);
        caret_ = std::min<int64_t>(caret_ + static_cast<int64_t>(item.text.size()), Length());
        break;
    case TextUndoKind::kDeleteChar: RawErase(caret_, buf_[caret_] == '\r' ? 2 : 1); break;
    case TextUndoKind::kDeleteText: RawErase(caret_, static_cast<int64_t>(item.text.size())); break;
    case TextUndoKind::kOverwriteChar:
        if (caret_ < Length()) buf_[caret_] = item.ch;  // swapped back by the caller's copy
        break;
    }
    anchor_ = caret_;
}

int TextBuffer::ApplyUndoEntry() {
    TextUndoEntry* e = undo_.get();
    if (!e || (e->count == 0 && e->items.empty())) return ApplyNothing();
    applying_ = true;
    if (e->kind == kUndoTextSnapshot) {
        std::string other;
        try {
            other.assign(buf_.data(), static_cast<size_t>(Length()));
        } catch (const std::bad_alloc&) {
            applying_ = false;
            tb_ReportNoMemory();
            return 0;
        }
        int64_t s = 0, en = 0;
        GetSel(&s, &en);
        std::string restore = std::move(e->snapshot);
        const int64_t rs = e->snapshotStart, re = e->snapshotEnd;
        e->snapshot = std::move(other);
        e->snapshotStart = s;
        e->snapshotEnd = en;
        std::unique_ptr<TextUndoEntry> keep = std::move(undo_);
        SetText(restore);
        undo_ = std::move(keep);
        SetSel(rs, re);
        e->count = e->count ? 0 : 1;
    } else if (e->count > 0) {
        for (size_t i = e->count; i-- > 0;) {
            TextUndoItem& item = e->items[i];
            const char before = CharAt(item.offset);
            ApplyItem(item, true);
            if (item.kind == TextUndoKind::kOverwriteChar) item.ch = before;
        }
        e->count = 0;
    } else if (e->count < e->items.size()) {
        for (size_t i = 0; i < e->items.size(); ++i) {
            TextUndoItem& item = e->items[i];
            const char before = CharAt(item.offset);
            ApplyItem(item, false);
            if (item.kind == TextUndoKind::kOverwriteChar) item.ch = before;
        }
        e->count = e->items.size();
    }
    applying_ = false;
    Changed(0, true);
    return 1;
}
