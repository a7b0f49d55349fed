// Reusable text buffers and line splitting.
#include "core/stringarray.h"

#include "core/chars.h"
#include "core/memory.h"
#include "core/result.h"

#include <cstring>
#include <new>

// ---- StringBuffer -------------------------------------------------------------

int StringBuffer::Reserve(size_t n) {
    if (capacity >= n) return kOk;
    MemFree(text);
    text = static_cast<char*>(MemAllocNoRetry(n));
    if (!text) {
        capacity = 0;
        return kResultNoMemory;
    }
    text[0] = 0;
    capacity = n;
    return kOk;
}

char* StringBuffer::Set(const char* newText) {
    if (!newText) newText = "";
    size_t n = std::strlen(newText);
    // The text may be this buffer's own; then no new block is needed.
    if (Reserve(n + 1) != kOk) return nullptr;
    std::memmove(text, newText, n + 1);
    return text;
}

char* StringBuffer::Append(const char* more) {
    if (!more) more = "";
    size_t old = text ? std::strlen(text) : 0;
    size_t add = std::strlen(more);
    if (text && capacity >= old + add + 1) {
        std::memmove(text + old, more, add);
        text[old + add] = 0;
        return text;
    }
    // Out of memory keeps the old text: the caller may still report it.
    char* joined = static_cast<char*>(MemAllocNoRetry(old + add + 1));
    if (!joined) return nullptr;
    if (old) std::memcpy(joined, text, old);
    std::memcpy(joined + old, more, add);
    joined[old + add] = 0;
    MemFree(text);
    text = joined;
    capacity = old + add + 1;
    return text;
}

void StringBuffer::Free() {
    MemFree(text);
    text = nullptr;
    capacity = 0;
}

// ---- StringArray --------------------------------------------------------------

namespace {

constexpr int kSaInitialEntries = 100;
constexpr int kSaClearedEntries = 10;
constexpr int kSaGrowBy = 100;
constexpr size_t kSaLargeEntry = 100;

// An entry holding an empty text (with a buffer, so that it can take a token).
int sa_MakeEmpty(StringBuffer& entry) {
    if (entry.Reserve(1) != kOk) return kResultNoMemory;
    entry.text[0] = 0;
    return kOk;
}

bool sa_IsEmpty(const StringBuffer& entry) { return !entry.text || !entry.text[0]; }

}  // namespace

int StringArray::Init() {
    if (count < kSaInitialEntries && Grow(kSaInitialEntries) != kOk) return kResultNoMemory;
    for (int i = 0; i < kSaClearedEntries; ++i)
        if (sa_MakeEmpty(entries[i]) != kOk) return kResultNoMemory;
    return kOk;
}

int StringArray::Grow(int n) {
    if (n <= count) return kOk;
    auto* grown = static_cast<StringBuffer*>(MemAlloc(static_cast<size_t>(n) * sizeof(StringBuffer)));
    if (!grown) return kResultNoMemory;
    for (int i = 0; i < n; ++i) new (&grown[i]) StringBuffer();
    for (int i = 0; i < count; ++i) grown[i] = entries[i];
    MemFree(entries);
    entries = grown;
    count = n;
    return kOk;
}

char* StringArray::SetEntry(int i, const char* text, int n) {
    if (i < 0 || i >= count) return nullptr;
    if (!text || n < 0) n = 1;
    size_t copy = text ? strnlen(text, static_cast<size_t>(n)) : 0;
    StringBuffer& entry = entries[i];
    if (entry.Reserve(static_cast<size_t>(n) + 1) != kOk) return nullptr;
    std::memmove(entry.text, text ? text : "", copy);
    entry.text[copy] = 0;
    return entry.text;
}

int StringArray::InsertEntry(int i, const char* text) {
    int end = 0;
    while (end < count && !sa_IsEmpty(entries[end])) ++end;
    if (Grow(end + 3) != kOk) return kResultNoMemory;
    if (i < 0) i = 0;
    if (i > end) i = end;
    // Keep a copy first: the text may be one of the entries being moved.
    char* copy = DuplicateString(text ? text : "");
    if (!copy) return kResultNoMemory;
    StringBuffer spare = entries[end];
    for (int k = end; k > i; --k) entries[k] = entries[k - 1];
    entries[i] = spare;
    char* stored = entries[i].Set(copy);
    MemFree(copy);
    if (!stored) return kResultNoMemory;
    // The entry after the last token must read empty, whatever an earlier
    // longer line left there.
    return sa_MakeEmpty(entries[end + 1]);
}

void StringArray::Clear() {
    for (int i = 0; i < count; ++i) entries[i].Free();
    MemFree(entries);
    entries = nullptr;
    count = 0;
}

void StringArray::TrimLargeEntries() {
    for (int i = 0; i < count && entries[i].text; ++i) {
        if (entries[i].capacity <= kSaLargeEntry) continue;
        entries[i].Free();
        sa_MakeEmpty(entries[i]);
    }
}

const char* StringArray::Token(int i) const {
    if (i < 0 || i >= count || !entries[i].text) return "";
    return entries[i].text;
}

int StringArray::TokenCount() const {
    int n = 0;
    while (n < count && !sa_IsEmpty(entries[n])) ++n;
    return n;
}

namespace {

bool sa_IsLetter(char c) { return HasCharClass(c, CC_LOWER | CC_UPPER); }
bool sa_IsDigit(char c) { return HasCharClass(c, CC_DIGIT); }

// Measures the token that starts at `p` (not white space) by the splitting
// rules; returns its end.
const char* sa_TokenEnd(const char* p, bool nameMode) {
    const char* q = p;
    char c = *q;
    if ((nameMode && HasCharClass(c, CC_NAME_DOT)) || c == '#' || c == '\'' || c == '?') {
        ++q;
        while (HasCharClass(*q, CC_NAME_DOT) || *q == '#' || *q == '?') ++q;
        if (*q == ':') ++q;
        return q;
    }
    if (sa_IsDigit(c) || c == '.') {
        while (sa_IsDigit(*q) || *q == '.') ++q;
        if (*q == 'E' || *q == 'e') {
            ++q;
            if (*q == '+' || *q == '-') ++q;
            while (sa_IsDigit(*q)) ++q;
        }
        while (sa_IsLetter(*q) || *q == '_' || *q == '$' || *q == '%') ++q;
        return q;
    }
    if (sa_IsLetter(c) || c == '_' || c == '$') {
        while (HasCharClass(*q, CC_ALNUM) || *q == '_' || *q == '.' || *q == ':' || *q == '$') ++q;
        return q;
    }
    if (c == '"') {
        ++q;
        while (*q && *q != '"') ++q;
        if (*q == '"') ++q;
        return q;
    }
    return q + 1;
}

// Finds the parts of an import call whose "(" is at `open`: the comma that ends
// the first argument (at the call's own depth) and the parenthesis that closes
// the call (or the end of the line). False when the call has no such comma.
bool sa_SplitImportCall(const char* open, const char** comma, const char** close) {
    int depth = 1;
    *comma = nullptr;
    const char* q = open + 1;
    for (; *q; ++q) {
        if (*q == '(') {
            ++depth;
        } else if (*q == ')') {
            if (--depth == 0) break;
        } else if (*q == ',' && depth == 1 && !*comma) {
            *comma = q;
        }
    }
    *close = q;
    return *comma != nullptr;
}

}  // namespace

int StringArray::SplitLine(const char* line, int flags) {
    if (count < kSaInitialEntries) {
        if (Init() != kOk) return kResultNoMemory;
    } else {
        for (int i = 0; i < kSaClearedEntries; ++i)
            if (sa_MakeEmpty(entries[i]) != kOk) return kResultNoMemory;
    }
    if (!line || line[0] == '*') return kOk;

    const bool spice = (flags & kSplitSpice) != 0;
    const bool nameMode = (flags & kSplitNames) != 0;
    int k = 0;
    auto emit = [&](const char* start, const char* end) -> bool {
        if (count - k < kSaClearedEntries && Grow(count + kSaGrowBy) != kOk) return false;
        return SetEntry(k++, start, static_cast<int>(end - start)) != nullptr;
    };

    const char* p = line;
    // Out of memory ends the tokens where the failure happened, so that no token
    // of an earlier line is read as part of this one.
    auto fail = [&]() {
        if (k < count && entries[k].text) entries[k].text[0] = 0;
        return kResultNoMemory;
    };
    for (;;) {
        if (spice) {
            // Comments and continuation lines as the netlist reader reads them.
            p = SkipSpiceBlanks(p, true);
        }
        if (*p == 0 || *p == ';') break;
        if (count - k < kSaClearedEntries && Grow(count + kSaGrowBy) != kOk) return fail();
        if (HasCharClass(*p, CC_SPACE)) {
            ++p;
            continue;
        }
        const char* end = sa_TokenEnd(p, nameMode);
        if (!emit(p, end)) return fail();
        bool isImport = end - p == 6 && CompareNoCaseN(p, "import", 6) == 0;
        p = end;
        if (!isImport) continue;
        const char* open = p;
        while (HasCharClass(*open, CC_SPACE)) ++open;
        const char *comma, *close;
        if (*open != '(' || !sa_SplitImportCall(open, &comma, &close)) continue;
        if (!emit(open, open + 1) || !emit(open + 1, comma) || !emit(comma, comma + 1) || !emit(comma + 1, close))
            return fail();
        p = close;
        if (*p == ')') {
            if (!emit(p, p + 1)) return fail();
            ++p;
        }
    }
    if (k < count && sa_MakeEmpty(entries[k]) != kOk) return kResultNoMemory;
    return kOk;
}

int SplitLineToArray(StringArray& array, const char* line, bool nameMode) {
    if (array.Init() != kOk) return kResultNoMemory;
    return array.SplitLine(line, nameMode ? kSplitNames : 0);
}
