// Reusable text buffers and the token array that netlist, model and circuit
// line readers split their lines into.
#pragma once

#include <cstddef>

// One reusable text. Its block is released with Free (or by its StringArray).
struct StringBuffer {
    char* text = nullptr;
    size_t capacity = 0;

    // Makes room for n bytes; the old content is lost when a new block is
    // needed. 0, or 15002 when out of memory (the buffer is then empty with
    // capacity 0).
    int Reserve(size_t n);
    // Returns the stored text or null when out of memory.
    char* Set(const char* text);
    // Returns the joined text; null when out of memory, the old text kept.
    char* Append(const char* text);
    void Free();
};

// After a split the tokens are entries 0 to n - 1 and entry n holds an empty
// text; readers walk the tokens until the first empty entry (Token gives "").
struct StringArray {
    int count = 0;                    // entries allocated
    StringBuffer* entries = nullptr;  // MemAlloc array

    StringArray() = default;
    StringArray(const StringArray&) = delete;
    StringArray& operator=(const StringArray&) = delete;
    ~StringArray() { Clear(); }

    // Grows to at least 100 entries and empties the first 10; 0 or 15002.
    int Init();
    // Grows to n entries (new ones without text); 0 or 15002.
    int Grow(int n);
    // Stores n characters of the text in entry i (a null text or a negative n
    // counts as n = 1; a null text copies nothing). Null when out of memory or
    // i is out of range.
    char* SetEntry(int i, const char* text, int n);
    // Moves the entries from i up to the first empty one place up and stores a
    // copy of the text at i; 0 or 15002.
    int InsertEntry(int i, const char* text);
    void Clear();
    // Frees buffers larger than 100 bytes, so one long line does not hold on
    // to its memory.
    void TrimLargeEntries();
    // Flags: 1 SPICE mode (comments and continuation lines are skipped), 2 name
    // mode (a run of name characters such as A+B*2 is one token). 0 or 15002.
    int SplitLine(const char* line, int flags);

    // The text of entry i; "" for an entry without text or out of range.
    const char* Token(int i) const;
    // Number of tokens before the first empty entry.
    int TokenCount() const;
};

constexpr int kSplitSpice = 1;
constexpr int kSplitNames = 2;

// Init, then SplitLine with name mode when asked; 0 or 15002.
int SplitLineToArray(StringArray& array, const char* line, bool nameMode);
