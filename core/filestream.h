// File streams: the common base with its sticky result code, binary files with
// typed transfers and the 24-byte header, shared-mode opens and small file services.
//
// File objects keep the first error they meet and keep working, so a caller may
// run a whole sequence of transfers and test the result once at the end. They
// never close themselves in their destructors: every owner calls Close.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>

#include "core/memory.h"

// The program name stored in every binary file header.
inline constexpr const char kBinaryProgramName[] = "Tarnwick";
inline constexpr size_t kBinaryHeaderSize = 24;

class FileStream {
public:
    FileStream() = default;
    virtual ~FileStream();
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    // Closes the stream when one is open and forgets it; the error is left as it
    // is and returned.
    int Close();
    bool IsOpen() const { return stream != nullptr; }

    FILE* stream = nullptr;  // null when nothing is open
    int error = 0;           // the first failure met so far, 0 while all is well
};

// A binary file: every integer is little-endian; texts are counted (a 2-byte
// signed length, then the bytes, no terminator).
class BinaryFile : public FileStream {
public:
    // Opens with a run-time mode text ("rb", "wb", "wb+"); the error is cleared
    // first and the path becomes the pending text. Failure: 15023, 15022,
    // 15950 + errno or 15974 (no errno).
    int Open(const char* path, const char* mode);
    int OpenRead(const char* path);
    int OpenWrite(const char* path);
    int OpenReadWrite(const char* path);

    // Typed transfers; each returns the error after the transfer. A short
    // transfer sets 15978.
    int Write(const void* block, size_t size);
    int Read(void* block, size_t size);
    int WriteLong(int32_t value);
    int WriteShort(int16_t value);
    // Reads 4 bytes; a short read sets 15978 and gives 0.
    int32_t ReadLong();
    // Reads 2 bytes, zero-extended; a short read sets 15978 and gives 0.
    int ReadShort();

    // Writes a counted text; null or "" is the length 0 alone. A text longer
    // than 32767 bytes is cut to that length and 15008 is stored.
    int WriteCountedText(const char* text);
    // Reads a counted text into `buffer` (of `size` bytes, size >= 1) and
    // terminates it. A text longer than size - 1 is cut; its excess is read and
    // dropped so that the next field is read in step. A negative length gives
    // 15009 and an empty buffer.
    int ReadCountedText(char* buffer, size_t size);
    // Reads a counted text into a heap string field: length 0 gives the shared
    // empty string. 15002 out of memory (returned at once), 15009 for a negative
    // length, 15978 for a short read.
    int ReadCountedString(char** field);
    // Reads a counted text into a SmallString12 (inline up to 11 bytes).
    int ReadSmallString12(SmallString12& text);

    // The 24-byte header: tag (3 letters and a zero byte), version (major << 16
    // | minor), "Tarnwick" padded with zero bytes to 12, four zero bytes.
    int WriteFileHeader(const char* tag, int32_t version);
    // Reads the header; a different tag or program name stores and returns 5355.
    // The version is handed back in either case.
    int CheckFileHeader(const char* tag, int32_t& version);
};

// Opens a run-time file for others to read while we hold it (a plain open on
// this platform). The path becomes the pending text; null on failure.
FILE* OpenSharedRead(const char* path);
FILE* OpenSharedWrite(const char* path);
FILE* OpenSharedUpdate(const char* path);

// Writes a counted text to a run-time file; null is written as length 0.
// Returns 0, 15978 for a short write, or 15008 when the text had to be cut.
int PutCountedText(const char* text, FILE* stream);
// The length in bytes of an open file (-1 when it cannot be told).
long GetStreamLength(FILE* stream);
// The file's last-modification time in seconds since 1970, 0 when the file
// cannot be examined.
time_t GetFileModTime(const char* path);

// How the lines of a text file end. A file keeps its own kind when it is
// written back; a new file gets the platform's (LF here).
enum class LineEnding { kLf, kCrLf, kCr };

// The line ending of a text: CR LF when it holds one, else LF when it holds
// one, else CR when it holds one; `fallback` for a text of one line.
LineEnding DetectLineEnding(std::string_view text, LineEnding fallback = LineEnding::kLf);
// A text with CR LF line breaks (the form the editor keeps) with `ending`
// instead. Lone CRs and LFs are bytes of their lines and stay as they are.
std::string ConvertLineEndings(std::string_view crlfText, LineEnding ending);
// Lone CRs of a CR-only text become CR LF, so that readers that split at LF see
// its lines; other texts are returned as they are.
std::string ExpandCrLineEnds(std::string&& text);

// The file a write to `path` reaches: symbolic links are followed to their
// final target (which need not exist yet); `path` itself when it is no link.
std::string ResolveWriteTarget(const char* path);
// Puts a completely written temporary file (in the folder of `target`, which
// is a resolved write target) in place of `target`. The temporary file is
// synced first; it takes the old file's mode (and, where allowed, owner) and
// is renamed over it in one step. A target with further hard links is written
// over in place from the temporary file instead, so that every link sees the
// new text. The temporary file is gone afterwards either way. 0 or a result
// code; on failure the target is as it was, except that an in-place write
// that failed part way leaves it incomplete.
int InstallTemporaryFile(const char* temporary, const char* target);
// Writes `bytes` as the whole new content of the file at `path` through a
// temporary file beside its resolved target (InstallTemporaryFile). 0 or a
// result code (15008 when writing failed).
int ReplaceFileContents(const char* path, std::string_view bytes);

// A directory search over a pattern "folder/name" whose name part may hold the
// wildcards * and ?. Names compare exactly, except a literal extension in the
// pattern ("*.cir") which compares without case. "." and ".." are not returned.
class FileFinder {
public:
    FileFinder() { Reset(); }
    ~FileFinder() { Close(); }
    FileFinder(const FileFinder&) = delete;
    FileFinder& operator=(const FileFinder&) = delete;

    void Reset();
    // Starts a search; returns the first name (without its folder), "" when
    // nothing matches (no search stays open then).
    const char* First(const char* pattern);
    // Copies the next name into `buffer`; "" at the end. Returns whether a
    // name was found.
    bool Next(char* buffer, size_t size);
    void Close();
    const char* Name() const { return name; }

    void* handle = nullptr;  // the open directory search, null when none
    char name[256];          // the last name found
    char namePattern[256];   // the name part of the pattern
};
