// The text of one editor: a byte buffer with Windows line ends, its caret and
// selection, the undo record of its edits, and every edit and query that other
// parts of the program call. The window (text/editwnd.h) draws it and feeds it
// keys; everything here works without a window.
//
// Invariants kept by every operation:
// - the text is `Length()` bytes followed by a CR LF sentinel and a NUL, so a
//   scan for the next CR never runs off the end;
// - an LF without its CR in a loaded or inserted text gets its CR (Unix files
//   and the desktop clipboard end lines with LF alone); any other CR without
//   its LF, or LF without its CR, is replaced by a blank;
// - offsets and line numbers count from 0; the line count is LF bytes plus one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Undo item kinds of a text-change entry.
enum class TextUndoKind : int {
    kInsertChar = 1,
    kInsertText = 2,
    kDeleteChar = 3,
    kDeleteText = 4,
    kOverwriteChar = 5,
};

// Undo entry kinds: item lists and whole-text snapshots.
constexpr int kUndoTextChange = 11;
constexpr int kUndoTextSnapshot = 14;

struct TextUndoItem {
    TextUndoKind kind = TextUndoKind::kInsertChar;
    int64_t offset = 0;
    char ch = 0;       // kinds 1, 3, 5
    std::string text;  // kinds 2, 4
};

// The editor's current undo entry. Like the document it belongs to, an editor
// keeps only its newest entry: Undo applies it backwards, and applying it again
// redoes it.
struct TextUndoEntry {
    int kind = kUndoTextChange;
    std::string label;
    bool closed = false;
    std::vector<TextUndoItem> items;  // items [0, count) are applied, [count, size) the redo part
    size_t count = 0;
    // Snapshots: the other text and selection, swapped in when applied.
    std::string snapshot;
    int64_t snapshotStart = 0, snapshotEnd = 0;
};

// What the buffer tells its owner (the window, the document).
class TextBufferObserver {
public:
    virtual ~TextBufferObserver() = default;
    // After every recorded edit (the document's content-changed notification).
    virtual void ContentChanged() {}
    // The text from `offset` on looks different (the window redraws).
    virtual void TextChanged(int64_t /*offset*/) {}
};

class TextBuffer {
public:
    static constexpr int kTabWidth = 3;
    static constexpr size_t kMaxUndoItems = 4095;

    TextBuffer();

    void SetObserver(TextBufferObserver* observer) { observer_ = observer; }

    // ---- text
    int64_t Length() const { return static_cast<int64_t>(buf_.size()) - 2; }
    // The text, the CR LF sentinel and a NUL; valid until the next edit.
    const char* Data() const { return buf_.c_str(); }
    std::string_view Text() const { return std::string_view(buf_.data(), static_cast<size_t>(Length())); }
    // Copies at most size-1 bytes and a NUL; the number copied.
    int64_t GetText(char* out, int64_t size) const;
    // The byte at 0 <= offset < Length(), else 0.
    char CharAt(int64_t offset) const;
    // Replaces the whole text: closes the undo entry, resets caret, selection
    // and scrolling, records nothing. False (15002 reported, text unchanged)
    // when the memory cannot be had.
    bool SetText(std::string_view text);
    // Takes a loaded text the same way, including a read-only state ending.
    bool LoadText(std::string_view text);
    // The same, taking over the block of a text read whole (no second copy
    // of a long file).
    bool LoadText(std::string&& text);
    // Appends CR LF (unrecorded) when the text is longer than 2 bytes and its
    // last line is not empty.
    void EnsureFinalNewline();

    // ---- lines
    int64_t GetLineCount() const { return lineCount_; }
    // The line of an offset (0 ... Length()); a negative offset means the
    // selection start (the caret without a selection); -1 beyond the text.
    int64_t LineFromChar(int64_t offset) const;
    // Start offset of a line; -1 is the caret's line; -1 when the line does not exist.
    int64_t LineIndex(int64_t line) const;
    // Bytes from the offset to the next CR or the end; 0 for offsets outside the text.
    int64_t LineLength(int64_t offset) const;
    // A line without its line end ("" when it does not exist); line -1 is the caret's.
    std::string GetLine(int64_t line) const;
    // The same into a buffer of `size` bytes (at most size-1 and a NUL); the
    // number copied, 0 for a missing line or size 0.
    int64_t GetLine(int64_t line, char* out, int64_t size) const;
    // Columns of the text from `lineStart` up to `offset` by the TAB rule.
    int64_t ColumnOf(int64_t offset) const;
    // The offset in the line starting at `lineStart` nearest to column `col`
    // (at most the line end).
    int64_t OffsetAtColumn(int64_t lineStart, int64_t col) const;
    // The longest line in columns (CR not counted) plus 2.
    int64_t WidestLine() const;

    // Snapshot of the line starts for callers deleting many lines.
    void BuildLineIndex();
    void FreeLineIndex();
    bool HasLineIndex() const { return !lineStarts_.empty(); }
    // Removes a whole line with its line end; no undo, no notification.
    void DeleteLine(int64_t line);

    // ---- caret and selection
    int64_t Caret() const { return caret_; }
    int64_t Anchor() const { return anchor_; }
    bool HasSelection() const { return selection_ && anchor_ != caret_; }
    // Ordered selection (both the caret without one); 1 when a selection
    // exists with its anchor before the caret.
    int GetSel(int64_t* start, int64_t* end) const;
    // (0, -1) selects everything with the caret at 0; else the anchor at
    // start and the caret at end (both kept within the text).
    void SetSel(int64_t start, int64_t end);
    void ClearSelection();
    // Moves the caret; with `extend` the selection grows from the anchor.
    void MoveCaretTo(int64_t offset, bool extend);
    std::string GetSelectedText() const;

    // ---- edits (each recorded for undo and notified)
    void ReplaceSel(std::string_view text);
    void ReplaceLines(int64_t firstLine, int64_t lastLine, std::string_view text);
    // Typing: 1 Delete, 8 Backspace, 13 or 10 Enter, 9 and 32-126 inserted;
    // 27 ignored; anything else beeps. False when nothing was done.
    bool TypeChar(int code);
    void DeleteForward();
    void DeleteToEndOfLine();
    bool Copy() const;
    void Cut();
    // Copies the caret's whole line (or the selection) and deletes it.
    void CutLine();
    void Paste();
    void SelectAll() { SetSel(0, -1); }
    // Upper (true) or lower case of the selection, as a snapshot entry.
    void ChangeCase(bool upper);
    // Replaces the whole text as one snapshot entry labelled `label`
    // (Replace All); false when out of memory.
    bool ReplaceWholeText(std::string_view text, const char* label);

    bool SetReadOnly(bool readOnly) {
        const bool was = readOnly_;
        readOnly_ = readOnly;
        return was;
    }
    bool IsReadOnly() const { return readOnly_; }

    // ---- caret movement
    enum class Move { kLeft, kRight, kUp, kDown, kHome, kEnd, kParagraphUp, kParagraphDown };
    void MoveCaret(Move move, bool shift, bool ctrl);
    // Caret onto the partner of the bracket at the caret; false when none.
    bool MatchBracket();
    // Selects the word (letters, digits and $ % * + - . / _) at the offset.
    void SelectWordAt(int64_t offset);

    // ---- undo
    const TextUndoEntry* UndoEntry() const { return undo_.get(); }
    bool CanUndo() const { return undo_ && (undo_->count > 0); }
    bool CanRedo() const { return undo_ && undo_->count < undo_->items.size(); }
    // Applies the current entry backwards when it is applied, else forwards;
    // 0 (and a beep) when there is nothing to apply.
    int ApplyUndoEntry();
    int Undo() { return CanUndo() ? ApplyUndoEntry() : ApplyNothing(); }
    int Redo() { return CanRedo() ? ApplyUndoEntry() : ApplyNothing(); }
    void CloseUndoGroup() {
        if (undo_) undo_->closed = true;
    }
    // While set nothing is recorded.
    void SuspendUndo(bool on) { suspended_ = on; }
    void DiscardUndo() { undo_.reset(); }

private:
    bool TakeText(std::string&& fresh);
    int ApplyNothing();
    bool Reserve(int64_t extra);
    // Raw edits: no undo, no notification.
    bool RawInsert(int64_t at, std::string_view text);
    void RawErase(int64_t at, int64_t count);
    void Normalise(int64_t from, int64_t to);
    void Changed(int64_t offset, bool recorded);
    // Undo recording.
    TextUndoEntry* EntryFor(bool deletion, bool forceNew);
    void Record(TextUndoEntry* entry, TextUndoItem item);
    bool Recording() const { return !suspended_ && !applying_; }
    void DeleteSelectionRecorded(bool forceNewEntry);
    void InsertTextRecorded(std::string_view text, bool joinCurrent);
    void DeleteCharRecorded(int64_t at);
    void ApplyItem(const TextUndoItem& item, bool inverse);
    void PushSnapshot(const char* label);
    int64_t LineStartOf(int64_t offset) const;
    int64_t LineEndOf(int64_t offset) const;  // offset of the CR (or the end)

    std::string buf_;  // text + "\r\n"
    int64_t lineCount_ = 1;
    int64_t caret_ = 0;
    int64_t anchor_ = 0;
    bool selection_ = false;
    int64_t joinOffset_ = 0;
    bool readOnly_ = false;
    bool suspended_ = false;
    bool applying_ = false;
    std::vector<int64_t> lineStarts_;
    std::unique_ptr<TextUndoEntry> undo_;
    TextBufferObserver* observer_ = nullptr;
};

// Whether a byte belongs to a word of the editor (letters, digits, $ % * + - . / _).
bool IsEditorWordChar(char c);
