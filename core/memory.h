// The one allocator, heap strings and small inline strings.
//
// A heap string field is a plain `char*` in one of three states: null (no text),
// the shared empty string (never written, never freed), or a block from MemAlloc
// owned by the field's holder. Every block handed out here must be released with
// MemFree, never with free() or delete.
#pragma once

#include <cstdarg>
#include <cstddef>

// ---- memory relief ----------------------------------------------------------

// What a failed allocation may release before its one retry (shell: every
// document's undo memory but the newest entry). The null object releases nothing.
class MemoryReliefPort {
public:
    virtual ~MemoryReliefPort() = default;
    virtual void ReleaseUndoMemory() = 0;
};
MemoryReliefPort& MemoryRelief();
MemoryReliefPort* InstallMemoryRelief(MemoryReliefPort* port);

// ---- allocation -------------------------------------------------------------

// Allocates; on failure runs the memory-release step (status text "FreeUp",
// undo memory of every document released) and tries once more.
void* MemAlloc(size_t size);
void* MemAllocZero(size_t size);
void MemFree(void* block);
// Allocates without the release-and-retry step (blocks that stand for the
// platform framework's own allocations); released with MemFree.
void* MemAllocNoRetry(size_t size);
// Resizes a heap block; on failure releases undo memory and retries once. On the
// second failure returns null and leaves the old block untouched.
void* ReallocRetry(void* block, size_t size);
// Resizes the block held in a field (the shared empty string counts as no block).
// On failure returns null and leaves the field as it was.
void* ReallocBlock(void** field, size_t size);
void* ResizeZeroed(void** field, size_t newSize, size_t oldSize);
void* AllocZeroArray(void** field, size_t count, size_t size);
void** Alloc2DArray(void*** field, size_t elementSize, size_t rows, size_t columns);
void Free2DArray(void*** field);
// Size of a block from MemAlloc; 2 for the shared empty string.
size_t HeapBlockSize(const void* block);
void SwapDoubles(double* a, double* b);

// Test seam: the next `count` allocations succeed, every later one fails, until
// the seam is reset with -1 (the default, no failures).
void SetAllocFailureAfter(long count);

// ---- heap strings -----------------------------------------------------------

// The process-wide shared empty string.
char* SharedEmptyString();
inline bool IsSharedEmpty(const char* s) { return s == SharedEmptyString(); }

void FreeString(char** field);
void ResetString(char** field);
char* SetString(char** field, const char* text);
char* DuplicateString(const char* text);
// A copy made without the release-and-retry step (for callers that must not
// disturb the documents' undo memory).
char* DuplicateStringNoRetry(const char* text);
char* DuplicatePrefix(const char* text, int n);
// Makes room for n more characters. On failure the field keeps its old text and
// the result is null; AppendString, AppendCharToString and InsertText then
// append nothing.
char* GrowString(char** field, size_t n);
char* AppendString(char** field, const char* text);
char* AppendCharToString(char** field, char c);
char* InsertText(char** field, size_t position, const char* text);
bool ExpandChar(char** field, char c, const char* text);
char* FormatString(char** field, const char* format, ...) __attribute__((format(printf, 2, 3)));
char* FormatStringV(char** field, const char* format, va_list args);
char* AppendFormat(char** field, const char* format, ...) __attribute__((format(printf, 2, 3)));

// A string with an inline buffer of N bytes for short texts and a heap copy for
// longer ones. text() is null when empty.
template <size_t N>
class SmallString {
public:
    SmallString() { buffer_[0] = 0; }
    ~SmallString() { Clear(); }
    SmallString(const SmallString&) = delete;
    SmallString& operator=(const SmallString&) = delete;

    void Set(const char* text);
    void Clear();
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    const char* text() const { return text_; }
    bool IsInline() const { return text_ == buffer_; }

private:
    char buffer_[N];
    char* text_ = nullptr;
};
using SmallString8 = SmallString<8>;
using SmallString12 = SmallString<12>;
extern template class SmallString<8>;
extern template class SmallString<12>;

// ---- formatting into caller buffers ----------------------------------------

constexpr size_t kFormatIntoSize = 1371;
int FormatInto(char* buffer, const char* format, ...) __attribute__((format(printf, 2, 3)));
// FormatInto's buffer must hold kFormatIntoSize bytes. The bounded forms write at
// most `size` bytes and always terminate the buffer. All return the length of the
// text placed in the buffer.
int FormatBounded(char* buffer, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
int FormatBoundedV(char* buffer, size_t size, const char* format, va_list args);
inline int FormatArgBlock(char* buffer, size_t size, const char* format, va_list args) {
    return FormatBoundedV(buffer, size, format, args);
}
char* CopyTextBounded(char* buffer, const char* text, size_t size);
char* FormatThousands(char* buffer, unsigned long long value);
