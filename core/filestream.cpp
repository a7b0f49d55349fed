#include "core/filestream.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "core/chars.h"
#include "core/result.h"

namespace {

constexpr long fs_MaxCountedLength = 32767;

// The code of an open that failed: errno mapped, 15974 when the run time set none
// (too many open files is the usual cause).
int fs_OpenFailureCode(int errorNumber) { return errorNumber == 0 ? kResultTooManyFiles : ErrnoToResult(errorNumber); }

void fs_PutLE32(unsigned char* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint32_t fs_GetLE32(const unsigned char* in) {
    return uint32_t(in[0]) | (uint32_t(in[1]) << 8) | (uint32_t(in[2]) << 16) | (uint32_t(in[3]) << 24);
}

// Reads a counted text's 2-byte length; false on a short read.
bool fs_ReadCount(FILE* stream, int* length) {
    unsigned char bytes[2];
    if (!stream || fread(bytes, 1, 2, stream) != 2) return false;
    *length = static_cast<int16_t>(uint16_t(bytes[0]) | (uint16_t(bytes[1]) << 8));
    return true;
}

// Reads and drops `count` bytes; false on a short read.
bool fs_Skip(FILE* stream, long count) {
    char scratch[256];
    while (count > 0) {
        size_t part = count > long(sizeof scratch) ? sizeof scratch : size_t(count);
        if (fread(scratch, 1, part, stream) != part) return false;
        count -= long(part);
    }
    return true;
}

FILE* fs_OpenShared(const char* path, const char* mode) {
    SetPendingText(path);
    if (!path || !*path) return nullptr;
    return fopen(path, mode);
}

}  // namespace

// ---- FileStream ---------------------------------------------------------------

FileStream::~FileStream() = default;

int FileStream::Close() {
    if (stream) {
        // Buffered bytes are written here; losing them must not pass for success.
        if (fclose(stream) != 0 && !error) error = kResultNoSpace;
        stream = nullptr;
    }
    return error;
}

// ---- BinaryFile: opening --------------------------------------------------------

int BinaryFile::Open(const char* path, const char* mode) {
    error = 0;
    SetPendingText(path);
    errno = 0;
    stream = (path && *path) ? fopen(path, mode) : nullptr;
    if (!stream) {
        int errorNumber = errno;
        if (!path || !*path) errorNumber = ENOENT;
        error = fs_OpenFailureCode(errorNumber);
    }
    return error;
}

int BinaryFile::OpenRead(const char* path) { return Open(path, "rb"); }
int BinaryFile::OpenWrite(const char* path) { return Open(path, "wb"); }
int BinaryFile::OpenReadWrite(const char* path) { return Open(path, "wb+"); }

// ---- BinaryFile: typed transfers -------------------------------------------------

int BinaryFile::Write(const void* block, size_t size) {
    if (size == 0) return error;
    if (!stream || fwrite(block, 1, size, stream) != size) {
        if (!error) error = kResultNoSpace;
    }
    return error;
}

int BinaryFile::Read(void* block, size_t size) {
    if (size == 0) return error;
    size_t got = stream ? fread(block, 1, size, stream) : 0;
    if (got != size) {
        // The part not delivered must not hold stale bytes.
        memset(static_cast<char*>(block) + got, 0, size - got);
        if (!error) error = kResultNoSpace;
    }
    return error;
}

int BinaryFile::WriteLong(int32_t value) {
    unsigned char bytes[4];
    fs_PutLE32(bytes, static_cast<uint32_t>(value));
    return Write(bytes, 4);
}

int BinaryFile::WriteShort(int16_t value) {
    unsigned char bytes[2] = {static_cast<unsigned char>(value & 0xFF),
                              static_cast<unsigned char>((static_cast<uint16_t>(value) >> 8) & 0xFF)};
    return Write(bytes, 2);
}

int32_t BinaryFile::ReadLong() {
    unsigned char bytes[4];
    Read(bytes, 4);
    return static_cast<int32_t>(fs_GetLE32(bytes));
}

int BinaryFile::ReadShort() {
    unsigned char bytes[2];
    Read(bytes, 2);
    return int(bytes[0]) | (int(bytes[1]) << 8);
}

int BinaryFile::WriteCountedText(const char* text) {
    int code = PutCountedText(text, stream);
    if (code && !error) error = code;
    return error;
}

int BinaryFile::ReadCountedText(char* buffer, size_t size) {
    if (size > 0) buffer[0] = 0;
    int length = 0;
    if (!fs_ReadCount(stream, &length)) {
        if (!error) error = kResultNoSpace;
        return error;
    }
    if (length < 0) {
        if (!error) error = kResultBadFormat;
        return error;
    }
    size_t keep = size > 0 ? size - 1 : 0;
    if (size_t(length) < keep) keep = size_t(length);
    size_t got = keep ? fread(buffer, 1, keep, stream) : 0;
    if (size > 0) buffer[got] = 0;
    if (got != keep || !fs_Skip(stream, long(length) - long(keep))) {
        if (!error) error = kResultNoSpace;
    }
    return error;
}

int BinaryFile::ReadCountedString(char** field) {
    int length = 0;
    if (!fs_ReadCount(stream, &length)) {
        ResetString(field);
        if (!error) error = kResultNoSpace;
        return error;
    }
    if (length < 0) {
        ResetString(field);
        if (!error) error = kResultBadFormat;
        return error;
    }
    if (length == 0) {
        ResetString(field);
        return error;
    }
    char* block = static_cast<char*>(MemAlloc(size_t(length) + 1));
    if (!block) {
        error = kResultNoMemory;
        return error;
    }
    size_t got = fread(block, 1, size_t(length), stream);
    block[got] = 0;
    FreeString(field);
    *field = block;
    if (got != size_t(length) && !error) error = kResultNoSpace;
    return error;
}

int BinaryFile::ReadSmallString12(SmallString12& text) {
    int length = 0;
    if (!fs_ReadCount(stream, &length)) {
        text.Clear();
        if (!error) error = kResultNoSpace;
        return error;
    }
    if (length < 0) {
        text.Clear();
        if (!error) error = kResultBadFormat;
        return error;
    }
    if (length == 0) {
        text.Clear();
        return error;
    }
    char scratch[12];
    char* block = scratch;
    if (length >= int(sizeof scratch)) {
        block = static_cast<char*>(MemAlloc(size_t(length) + 1));
        if (!block) {
            text.Clear();
            error = kResultNoMemory;
            return error;
        }
    }
    size_t got = fread(block, 1, size_t(length), stream);
    block[got] = 0;
    text.Set(block);
    if (block != scratch) MemFree(block);
    if (got != size_t(length) && !error) error = kResultNoSpace;
    return error;
}

// ---- BinaryFile: header ----------------------------------------------------------

int BinaryFile::WriteFileHeader(const char* tag, int32_t version) {
    unsigned char header[kBinaryHeaderSize] = {};
    strncpy(reinterpret_cast<char*>(header), tag ? tag : "", 3);
    fs_PutLE32(header + 4, static_cast<uint32_t>(version));
    memcpy(header + 8, kBinaryProgramName, sizeof kBinaryProgramName);
    return Write(header, sizeof header);
}

int BinaryFile::CheckFileHeader(const char* tag, int32_t& version) {
    unsigned char header[kBinaryHeaderSize] = {};
    Read(header, sizeof header);
    version = static_cast<int32_t>(fs_GetLE32(header + 4));
    char fileTag[5] = {};
    memcpy(fileTag, header, 4);
    char name[13] = {};
    memcpy(name, header + 8, 12);
    bool nameMatches = memcmp(header + 8, kBinaryProgramName, sizeof kBinaryProgramName) == 0 &&
                       strlen(name) == strlen(kBinaryProgramName);
    if (strcmp(fileTag, tag ? tag : "") != 0 || !nameMatches) {
        if (!error) error = kResultNotFormat;
    }
    return error;
}

// ---- shared opens and small services ---------------------------------------------

FILE* OpenSharedRead(const char* path) { return fs_OpenShared(path, "rb"); }
FILE* OpenSharedWrite(const char* path) { return fs_OpenShared(path, "wb"); }
FILE* OpenSharedUpdate(const char* path) { return fs_OpenShared(path, "wb+"); }

int PutCountedText(const char* text, FILE* stream) {
    size_t length = text ? strlen(text) : 0;
    int code = 0;
    if (length > size_t(fs_MaxCountedLength)) {
        // The format cannot hold more; keep the file readable and say so.
        length = size_t(fs_MaxCountedLength);
        code = kResultWriteError;
    }
    unsigned char count[2] = {static_cast<unsigned char>(length & 0xFF),
                              static_cast<unsigned char>((length >> 8) & 0xFF)};
    if (!stream || fwrite(count, 1, 2, stream) != 2) return kResultNoSpace;
    if (length && fwrite(text, 1, length, stream) != length) return kResultNoSpace;
    return code;
}

long GetStreamLength(FILE* stream) {
    if (!stream) return -1;
    fflush(stream);
    struct stat info;
    if (fstat(fileno(stream), &info) != 0) return -1;
    return long(info.st_size);
}

time_t GetFileModTime(const char* path) {
    struct stat info;
    if (!path || !*path || stat(path, &info) != 0) return 0;
    return info.st_mtime;
}

// ---- FileFinder ------------------------------------------------------------------

namespace {

// "*" any run, "?" any one character, everything else exactly.
bool fs_WildMatch(const char* pattern, const char* text, size_t patternLength, size_t textLength) {
    size_t p = 0, t = 0, starP = size_t(-1), starT = 0;
    while (t < textLength) {
        if (p < patternLength && (pattern[p] == '?' || pattern[p] == text[t]) && pattern[p] != '*') {
            ++p, ++t;
        } else if (p < patternLength && pattern[p] == '*') {
            starP = p++;
            starT = t;
        } else if (starP != size_t(-1)) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < patternLength && pattern[p] == '*') ++p;
    return p == patternLength;
}

// A literal extension in the pattern compares without case; the rest exactly.
bool fs_NameMatches(const char* pattern, const char* name) {
    if (strcmp(pattern, "*.*") == 0) return true;
    const char* patternDot = strrchr(pattern, '.');
    const char* nameDot = strrchr(name, '.');
    if (patternDot && !strpbrk(patternDot, "*?")) {
        if (!nameDot || CompareNoCase(patternDot, nameDot) != 0) return false;
        return fs_WildMatch(pattern, name, size_t(patternDot - pattern), size_t(nameDot - name));
    }
    return fs_WildMatch(pattern, name, strlen(pattern), strlen(name));
}

}  // namespace

void FileFinder::Reset() {
    handle = nullptr;
    name[0] = 0;
    namePattern[0] = 0;
}

const char* FileFinder::First(const char* pattern) {
    Close();
    name[0] = 0;
    if (!pattern || !*pattern) return name;
    const char* slash = strrchr(pattern, '/');
    const char* base = slash ? slash + 1 : pattern;
    const std::string folder = !slash             ? std::string(".")
                               : slash == pattern ? std::string("/")
                                                  : std::string(pattern, size_t(slash - pattern));
    CopyTextBounded(namePattern, base, sizeof namePattern);
    DIR* directory = opendir(folder.c_str());
    if (!directory) return name;
    handle = directory;
    if (!Next(name, sizeof name)) Close();
    return name;
}

bool FileFinder::Next(char* buffer, size_t size) {
    if (size > 0) buffer[0] = 0;
    if (!handle) return false;
    DIR* directory = static_cast<DIR*>(handle);
    while (struct dirent* entry = readdir(directory)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
        if (!fs_NameMatches(namePattern, entry->d_name)) continue;
        CopyTextBounded(name, entry->d_name, sizeof name);
        if (buffer != name) CopyTextBounded(buffer, entry->d_name, size);
        return true;
    }
    name[0] = 0;
    return false;
}

void FileFinder::Close() {
    if (handle) closedir(static_cast<DIR*>(handle));
    handle = nullptr;
}

// ---- writing a file in place of an old one -------------------------------------------

LineEnding DetectLineEnding(std::string_view text, LineEnding fallback) {
    const size_t lf = text.find('\n');
    if (lf != std::string_view::npos) return lf > 0 && text[lf - 1] == '\r' ? LineEnding::kCrLf : LineEnding::kLf;
    return text.find('\r') != std::string_view::npos ? LineEnding::kCr : fallback;
}

std::string ConvertLineEndings(std::string_view crlfText, LineEnding ending) {
    const char* const end = ending == LineEnding::kCrLf ? "\r\n" : ending == LineEnding::kCr ? "\r" : "\n";
    std::string out;
    out.reserve(crlfText.size() + crlfText.size() / 16);
    for (size_t i = 0; i < crlfText.size(); ++i) {
        const char c = crlfText[i];
        if (c == '\r' && i + 1 < crlfText.size() && crlfText[i + 1] == '\n') {
            ++i;
            out += end;
        } else {
            out += c;
        }
    }
    return out;
}

std::string ExpandCrLineEnds(std::string&& text) {
    if (DetectLineEnding(text) != LineEnding::kCr) return std::move(text);
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        out += c;
        if (c == '\r') out += '\n';
    }
    return out;
}

namespace {

int fs_WriteAll(int handle, const char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t put = write(handle, bytes, size);
        if (put < 0) {
            if (errno == EINTR) continue;
            return ErrnoToResult(errno);
        }
        bytes += put;
        size -= static_cast<size_t>(put);
    }
    return 0;
}

// Copies the temporary file over the target's own bytes (the target keeps its
// inode, and with it every hard link, its mode and owner).
int fs_CopyInPlace(const char* temporary, const char* target) {
    const int in = open(temporary, O_RDONLY | O_CLOEXEC);
    if (in < 0) return ErrnoToResult(errno);
    const int out = open(target, O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (out < 0) {
        const int code = ErrnoToResult(errno);
        close(in);
        return code;
    }
    int code = 0;
    char block[65536];
    for (;;) {
        const ssize_t got = read(in, block, sizeof block);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) code = ErrnoToResult(errno);
        if (got <= 0) break;
        if ((code = fs_WriteAll(out, block, static_cast<size_t>(got))) != 0) break;
    }
    if (!code && fsync(out) != 0) code = ErrnoToResult(errno);
    if (close(out) != 0 && !code) code = ErrnoToResult(errno);
    close(in);
    return code;
}

}  // namespace

std::string ResolveWriteTarget(const char* path) {
    std::string target = path ? path : "";
    // A bounded walk, so that a loop of links ends (the open then fails).
    for (int hop = 0; hop < 40; ++hop) {
        struct stat info;
        if (lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
        std::string link(static_cast<size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        const ssize_t length = readlink(target.c_str(), link.data(), link.size());
        if (length <= 0 || static_cast<size_t>(length) >= link.size()) break;
        link.resize(static_cast<size_t>(length));
        if (link[0] == '/') {
            target = link;
        } else {
            const size_t slash = target.rfind('/');
            target = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + link;
        }
    }
    return target;
}

int InstallTemporaryFile(const char* temporary, const char* target) {
    const int handle = open(temporary, O_RDONLY | O_CLOEXEC);
    if (handle < 0) return ErrnoToResult(errno);
    const int synced = fsync(handle) == 0 ? 0 : ErrnoToResult(errno);
    close(handle);
    if (synced) {
        unlink(temporary);
        return synced;
    }
    struct stat old;
    const bool hadTarget = stat(target, &old) == 0 && S_ISREG(old.st_mode);
    if (hadTarget && old.st_nlink > 1) {
        const int code = fs_CopyInPlace(temporary, target);
        unlink(temporary);
        return code;
    }
    if (hadTarget) {
        chmod(temporary, old.st_mode & 07777);
        // Only the owner's own files or a privileged run may keep another
        // owner; a failure leaves the file the writer's, as a new file is.
        if (chown(temporary, old.st_uid, old.st_gid) != 0) chmod(temporary, old.st_mode & 0777);
    }
    if (rename(temporary, target) != 0) {
        const int code = ErrnoToResult(errno);
        unlink(temporary);
        return code;
    }
    return 0;
}

int ReplaceFileContents(const char* path, std::string_view bytes) {
    if (!path || !*path) return kResultNoFileName;
    const std::string target = ResolveWriteTarget(path);
    const std::string temporary = target + ".~tw";
    const int handle = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (handle < 0) return ErrnoToResult(errno);
    int code = fs_WriteAll(handle, bytes.data(), bytes.size());
    if (close(handle) != 0 && !code) code = ErrnoToResult(errno);
    if (code) {
        unlink(temporary.c_str());
        return code;
    }
    return InstallTemporaryFile(temporary.c_str(), target.c_str());
}
