// The one allocator, heap strings, small inline strings and bounded formatting.
//
// Every block carries a small header in front of it that records the size the
// caller asked for, so that HeapBlockSize works on any block; the pointer handed
// out is the byte after the header.
#include "core/memory.h"
#include "core/port.h"

#include "core/desktop.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr size_t kMemHeaderSize = alignof(std::max_align_t) > sizeof(size_t) ? alignof(std::max_align_t)
                                                                             : sizeof(size_t);
static_assert(kMemHeaderSize >= sizeof(size_t));

// Lives in read-only memory: a write through it faults at once.
const char kMemSharedEmpty[2] = {0, 0};

// Test seam: allocations still allowed before every further one fails; -1 none.
long g_memFailAfter = -1;

bool mem_SeamAllows() {
    if (g_memFailAfter < 0) return true;
    if (g_memFailAfter == 0) return false;
    --g_memFailAfter;
    return true;
}

size_t* mem_Header(const void* block) {
    return reinterpret_cast<size_t*>(static_cast<char*>(const_cast<void*>(block)) - kMemHeaderSize);
}

void* mem_RawAlloc(size_t size) {
    if (size > std::numeric_limits<size_t>::max() - kMemHeaderSize) return nullptr;
    if (!mem_SeamAllows()) return nullptr;
    char* base = static_cast<char*>(std::malloc(size + kMemHeaderSize));
    if (!base) return nullptr;
    *reinterpret_cast<size_t*>(base) = size;
    return base + kMemHeaderSize;
}

void* mem_RawRealloc(void* block, size_t size) {
    if (!block) return mem_RawAlloc(size);
    if (size > std::numeric_limits<size_t>::max() - kMemHeaderSize) return nullptr;
    if (!mem_SeamAllows()) return nullptr;
    char* base = static_cast<char*>(std::realloc(mem_Header(block), size + kMemHeaderSize));
    if (!base) return nullptr;
    *reinterpret_cast<size_t*>(base) = size;
    return base + kMemHeaderSize;
}

class NullMemoryRelief final : public MemoryReliefPort {
public:
    void ReleaseUndoMemory() override {}
};

PortSlot<MemoryReliefPort, NullMemoryRelief> mem_relief;

// Frees what the documents can spare so that a failed allocation may succeed on
// its one retry. Without the shell there is nothing to release.
void mem_ReleaseStep(bool showStatus) {
    if (showStatus) StatusBar().SetStatusText("FreeUp");
    MemoryRelief().ReleaseUndoMemory();
}

bool mem_IsShared(const void* block) { return block == kMemSharedEmpty; }

// Frees a heap string block unless it is the shared empty string.
void mem_FreeText(char* text) {
    if (text && !mem_IsShared(text)) MemFree(text);
}

}  // namespace

// ---- memory relief ----------------------------------------------------------

MemoryReliefPort& MemoryRelief() { return mem_relief.Get(); }
MemoryReliefPort* InstallMemoryRelief(MemoryReliefPort* port) { return mem_relief.Install(port); }

// ---- allocation -------------------------------------------------------------

void* MemAlloc(size_t size) {
    void* block = mem_RawAlloc(size);
    if (block) return block;
    mem_ReleaseStep(true);
    return mem_RawAlloc(size);
}

void* MemAllocNoRetry(size_t size) { return mem_RawAlloc(size); }

void* MemAllocZero(size_t size) {
    void* block = MemAlloc(size);
    if (block) std::memset(block, 0, size);
    return block;
}

void MemFree(void* block) {
    if (!block || mem_IsShared(block)) return;
    std::free(mem_Header(block));
}

void* ReallocRetry(void* block, size_t size) {
    if (mem_IsShared(block)) block = nullptr;
    void* grown = mem_RawRealloc(block, size);
    if (grown) return grown;
    mem_ReleaseStep(false);
    return mem_RawRealloc(block, size);
}

void* ReallocBlock(void** field, size_t size) {
    void* old = mem_IsShared(*field) ? nullptr : *field;
    void* grown = ReallocRetry(old, size);
    if (grown) *field = grown;
    return grown;
}

void* ResizeZeroed(void** field, size_t newSize, size_t oldSize) {
    void* old = *field;
    if (mem_IsShared(old) || oldSize == 0 || !old) {
        // A fresh block; the old one goes only once its replacement exists, so
        // that a failure leaves the field as it was.
        void* fresh = MemAllocZero(newSize);
        if (!fresh) return nullptr;
        if (oldSize == 0 && !mem_IsShared(old)) MemFree(old);
        *field = fresh;
        return fresh;
    }
    void* grown = ReallocRetry(old, newSize);
    if (!grown) return nullptr;
    if (newSize > oldSize) std::memset(static_cast<char*>(grown) + oldSize, 0, newSize - oldSize);
    *field = grown;
    return grown;
}

void* AllocZeroArray(void** field, size_t count, size_t size) {
    if (!mem_IsShared(*field)) MemFree(*field);
    *field = nullptr;
    if (count == 0 || size == 0) return nullptr;
    if (count > std::numeric_limits<size_t>::max() / size) return nullptr;
    *field = MemAllocZero(count * size);
    return *field;
}

void** Alloc2DArray(void*** field, size_t elementSize, size_t rows, size_t columns) {
    Free2DArray(field);
    if (rows == 0) return nullptr;
    const size_t maxSize = std::numeric_limits<size_t>::max();
    if (columns != 0 && elementSize > maxSize / columns) return nullptr;
    size_t rowBytes = columns * elementSize;
    if (rowBytes != 0 && rows > maxSize / rowBytes) return nullptr;
    if (rows > maxSize / sizeof(void*)) return nullptr;
    char* data = static_cast<char*>(MemAllocZero(rows * rowBytes));
    if (!data) return nullptr;
    void** rowArray = static_cast<void**>(MemAlloc(rows * sizeof(void*)));
    if (!rowArray) {
        MemFree(data);
        return nullptr;
    }
    for (size_t r = 0; r < rows; ++r) rowArray[r] = data + r * rowBytes;
    *field = rowArray;
    return rowArray;
}

void Free2DArray(void*** field) {
    if (!*field) return;
    MemFree((*field)[0]);
    MemFree(*field);
    *field = nullptr;
}

size_t HeapBlockSize(const void* block) {
    if (!block) return 0;
    if (mem_IsShared(block)) return 2;
    return *mem_Header(block);
}

void SwapDoubles(double* a, double* b) {
    double t = *a;
    *a = *b;
    *b = t;
}

void SetAllocFailureAfter(long count) { g_memFailAfter = count < 0 ? -1 : count; }

// ---- heap strings -----------------------------------------------------------

char* SharedEmptyString() { return const_cast<char*>(kMemSharedEmpty); }

void FreeString(char** field) {
    mem_FreeText(*field);
    *field = nullptr;
}

void ResetString(char** field) {
    mem_FreeText(*field);
    *field = SharedEmptyString();
}

char* SetString(char** field, const char* text) {
    if (!text) {
        FreeString(field);
        return nullptr;
    }
    if (*text == 0) {
        ResetString(field);
        return *field;
    }
    // Copy before freeing, so the text may even be part of the old one.
    char* copy = DuplicateString(text);
    mem_FreeText(*field);
    *field = copy;
    return copy;
}

char* DuplicateString(const char* text) {
    if (!text) return nullptr;
    size_t n = std::strlen(text) + 1;
    char* copy = static_cast<char*>(MemAlloc(n));
    if (copy) std::memcpy(copy, text, n);
    return copy;
}

char* DuplicateStringNoRetry(const char* text) {
    if (!text) return nullptr;
    size_t n = std::strlen(text) + 1;
    char* copy = static_cast<char*>(mem_RawAlloc(n));
    if (copy) std::memcpy(copy, text, n);
    return copy;
}

char* DuplicatePrefix(const char* text, int n) {
    size_t count = n < 0 || !text ? 0 : strnlen(text, static_cast<size_t>(n));
    char* copy = static_cast<char*>(MemAlloc(count + 1));
    if (!copy) return nullptr;
    if (count) std::memcpy(copy, text, count);
    copy[count] = 0;
    return copy;
}

char* GrowString(char** field, size_t n) {
    char* old = *field;
    if (!old || mem_IsShared(old)) {
        if (n == std::numeric_limits<size_t>::max()) return nullptr;
        char* fresh = static_cast<char*>(MemAllocZero(n + 1));
        if (fresh) *field = fresh;
        return fresh;
    }
    size_t length = std::strlen(old);
    if (n > std::numeric_limits<size_t>::max() - length - 1) return nullptr;
    // On failure the old text stays in the field: running out of memory while
    // appending must not lose what was already there.
    char* grown = static_cast<char*>(ReallocRetry(old, length + n + 1));
    if (grown) *field = grown;
    return grown;
}

char* AppendString(char** field, const char* text) {
    if (!text) text = "";
    size_t add = std::strlen(text);
    // The text may be (part of) the field's own text, which growing moves.
    const char* old = *field;
    bool inside = old && !mem_IsShared(old) && text >= old && text <= old + std::strlen(old);
    size_t offset = inside ? static_cast<size_t>(text - old) : 0;
    char* grown = GrowString(field, add);
    if (!grown) return nullptr;
    if (inside) text = grown + offset;
    size_t length = std::strlen(grown);
    std::memmove(grown + length, text, add);
    grown[length + add] = 0;
    return grown;
}

char* AppendCharToString(char** field, char c) {
    char* grown = GrowString(field, 1);
    if (!grown) return nullptr;
    size_t length = std::strlen(grown);
    grown[length] = c;
    grown[length + 1] = 0;
    return grown;
}

char* InsertText(char** field, size_t position, const char* text) {
    if (!text) text = "";
    const char* old = *field;
    char* own = nullptr;
    if (old && !mem_IsShared(old) && text >= old && text <= old + std::strlen(old)) {
        own = DuplicateString(text);
        if (!own) return nullptr;
        text = own;
    }
    size_t add = std::strlen(text);
    char* grown = GrowString(field, add);
    if (grown) {
        size_t length = std::strlen(grown);
        if (position > length) position = length;
        std::memmove(grown + position + add, grown + position, length - position + 1);
        std::memcpy(grown + position, text, add);
    }
    MemFree(own);
    return grown;
}

bool ExpandChar(char** field, char c, const char* text) {
    if (!*field || c == 0) return false;
    if (!text) text = "";
    size_t add = std::strlen(text);
    bool found = false;
    size_t from = 0;
    for (;;) {
        char* s = *field;
        char* hit = std::strchr(s + from, c);
        if (!hit) break;
        // A leading caret marks the whole text as literal.
        if (!found && hit == s && c == '^') break;
        found = true;
        size_t at = static_cast<size_t>(hit - s);
        size_t length = std::strlen(s);
        char* joined = static_cast<char*>(MemAlloc(length - 1 + add + 1));
        if (!joined) break;
        std::memcpy(joined, s, at);
        std::memcpy(joined + at, text, add);
        std::memcpy(joined + at + add, hit + 1, length - at);
        mem_FreeText(s);
        *field = joined;
        // Continue after the replacement: nothing before it holds the character,
        // and a replacement that did would otherwise never end.
        from = at + add;
    }
    return found;
}

namespace {
constexpr size_t kMemScratchSize = 1000;
}

char* FormatStringV(char** field, const char* format, va_list args) {
    char scratch[kMemScratchSize];
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(scratch, sizeof scratch, format, args);
    char* result = nullptr;
    if (n >= static_cast<int>(sizeof scratch)) {
        result = static_cast<char*>(MemAlloc(static_cast<size_t>(n) + 1));
        if (result) std::vsnprintf(result, static_cast<size_t>(n) + 1, format, again);
    } else if (n == 0) {
        result = SharedEmptyString();
    } else if (n > 0) {
        result = DuplicateString(scratch);
    }
    va_end(again);
    mem_FreeText(*field);
    *field = result;
    return result;
}

char* FormatString(char** field, const char* format, ...) {
    va_list args;
    va_start(args, format);
    char* result = FormatStringV(field, format, args);
    va_end(args);
    return result;
}

char* AppendFormat(char** field, const char* format, ...) {
    char scratch[kMemScratchSize];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(scratch, sizeof scratch, format, args);
    va_end(args);
    if (n < 0) return *field;
    if (n < static_cast<int>(sizeof scratch)) {
        AppendString(field, scratch);
        return *field;
    }
    char* temp = static_cast<char*>(MemAlloc(static_cast<size_t>(n) + 1));
    if (!temp) return *field;
    va_start(args, format);
    std::vsnprintf(temp, static_cast<size_t>(n) + 1, format, args);
    va_end(args);
    AppendString(field, temp);
    MemFree(temp);
    return *field;
}

// ---- small strings ----------------------------------------------------------

template <size_t N>
void SmallString<N>::Set(const char* text) {
    if (!text) {
        Clear();
        return;
    }
    size_t length = std::strlen(text);
    if (length < N) {
        // Copy first: the text may be this string's own heap copy.
        std::memmove(buffer_, text, length + 1);
        if (text_ && text_ != buffer_) FreeString(&text_);
        text_ = buffer_;
        return;
    }
    // Too long for the inline buffer, so the text cannot lie in it; SetString
    // copies before freeing, so it may lie in the old heap copy.
    if (text_ == buffer_) text_ = nullptr;
    buffer_[0] = 0;
    SetString(&text_, text);
}

template <size_t N>
void SmallString<N>::Clear() {
    if (text_ && text_ != buffer_) FreeString(&text_);
    buffer_[0] = 0;
    text_ = nullptr;
}

template <size_t N>
void SmallString<N>::Format(const char* format, ...) {
    char scratch[52];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(scratch, sizeof scratch, format, args);
    va_end(args);
    if (n < 0) return;
    if (n <= 49) {
        Set(scratch);
        return;
    }
    char* temp = static_cast<char*>(MemAlloc(static_cast<size_t>(n) + 1));
    if (!temp) return;
    va_start(args, format);
    std::vsnprintf(temp, static_cast<size_t>(n) + 1, format, args);
    va_end(args);
    Set(temp);
    MemFree(temp);
}

template class SmallString<8>;
template class SmallString<12>;

// ---- formatting into caller buffers ----------------------------------------

int FormatInto(char* buffer, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = FormatBoundedV(buffer, kFormatIntoSize, format, args);
    va_end(args);
    return n;
}

int FormatBoundedV(char* buffer, size_t size, const char* format, va_list args) {
    if (!buffer || size == 0) return 0;
    int n = std::vsnprintf(buffer, size, format, args);
    buffer[size - 1] = 0;
    if (n < 0) {
        buffer[0] = 0;
        return 0;
    }
    return static_cast<size_t>(n) < size ? n : static_cast<int>(size - 1);
}

int FormatBounded(char* buffer, size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = FormatBoundedV(buffer, size, format, args);
    va_end(args);
    return n;
}

char* CopyTextBounded(char* buffer, const char* text, size_t size) {
    if (!buffer || size == 0) return buffer;
    if (!text) text = "";
    size_t n = strnlen(text, size);
    std::memcpy(buffer, text, n < size ? n + 1 : size);
    buffer[size - 1] = 0;
    return buffer;
}

char* FormatThousands(char* buffer, unsigned long long value) {
    char digits[32];
    int n = std::snprintf(digits, sizeof digits, "%llu", value);
    char* out = buffer;
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) *out++ = ',';
        *out++ = digits[i];
    }
    *out = 0;
    return buffer;
}
