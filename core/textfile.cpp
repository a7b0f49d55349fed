#include "core/textfile.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <vector>

#include "core/chars.h"
#include "core/desktop.h"
#include "core/result.h"
#include "core/services.h"

namespace {

TextSourceProvider* tf_provider = nullptr;

// The run time's mode text without the "t" of text translation, which this
// platform does not know.
void tf_RunTimeMode(const char* mode, char* out, size_t size) {
    size_t n = 0;
    for (const char* p = mode ? mode : "r"; *p && n + 1 < size; ++p) {
        if (*p != 't') out[n++] = *p;
    }
    out[n] = 0;
}

int tf_WriteFailureCode(int errorNumber) {
    int code = ErrnoToResult(errorNumber);
    return code ? code : kResultNoSpace;
}

// After a CR: consumes the LF of a CR LF pair; false (nothing consumed) otherwise.
bool tf_ConsumeLineFeed(FILE* stream) {
    int next = getc(stream);
    if (next == '\n') return true;
    if (next != EOF) ungetc(next, stream);
    return false;
}

char* tf_TrimTrailingWhitespace(char* text, size_t length) {
    while (length > 0 && HasCharClass(text[length - 1], CC_SPACE)) --length;
    text[length] = 0;
    return text;
}

}  // namespace

// ---- documents through the installed provider --------------------------------

void SetTextSourceProvider(TextSourceProvider* provider) { tf_provider = provider; }
TextSourceProvider* GetTextSourceProvider() { return tf_provider; }

int CheckFullPath(const char* filePath) {
    if (!filePath || !*filePath) {
        SetPendingText(filePath);
        return kResultNoFileName;
    }
    if (filePath[0] != '/') {
        SetPendingText(filePath);
        return kResultNoSuchFile;
    }
    return kOk;
}

CDoc* FindDocumentByPath(const char* filePath) {
    if (!tf_provider || !filePath || !*filePath) return nullptr;
    return tf_provider->FindDocumentByPath(filePath);
}

int CheckPathNotOpenElsewhere(void* window, const char* filePath) {
    if (!tf_provider || !filePath || !*filePath) return kOk;
    return tf_provider->CheckPathNotOpenElsewhere(window, filePath);
}

void ReloadOpenTextDocument(const char* filePath) {
    if (tf_provider && filePath && *filePath) tf_provider->ReloadOpenTextDocument(filePath);
}

// ---- opening and closing ------------------------------------------------------

TextFile::TextFile() { Reset(); }

TextFile::~TextFile() {
    // Closing the stream is the owner's job; memory is ours to give back.
    if (bufferOwned) MemFree(buffer);
    FreeString(&path);
}

void TextFile::Reset() {
    stream = nullptr;
    error = 0;
    startTime = GetSeconds();
    progressShown = false;
    fileLength = 0;
    mode = kClosed;
    path = nullptr;
    bufferOwned = false;
    lineCounter = 0;
    pageLineCount = 0;
    statementLine = 0;
    document = nullptr;
    pageEditor = nullptr;
    buffer = nullptr;
    bufferBase = 0;
    readPosition = 0;
    bufferLength = 0;
    pageIndex = 0;
    wrongPassword = false;
    spiceDialect = kSpiceDialectNone;
    textMode_ = false;
    lastWasCR_ = false;
    itemCut_ = false;
}

int TextFile::OpenChecked(const char* filePath, const char* runTimeMode, int newMode) {
    Reset();
    errno = 0;
    if (int code = CheckFullPath(filePath)) {
        error = code;
        return code;
    }
    mode = newMode;
    if (!SetString(&path, filePath)) {
        mode = kClosed;
        error = kResultNoMemory;
        return error;
    }
    char runTime[8];
    tf_RunTimeMode(runTimeMode, runTime, sizeof runTime);
    SetPendingText(filePath);
    errno = 0;
    stream = fopen(filePath, runTime);
    if (!stream) {
        int errorNumber = errno;
        error = errorNumber == 0 ? kResultTooManyFiles : ErrnoToResult(errorNumber);
        mode = kClosed;
        FreeString(&path);
        return error;
    }
    textMode_ = strchr(runTime, 'b') == nullptr;
    long length = GetStreamLength(stream);
    fileLength = length > 0 ? length : 0;
    return kOk;
}

int TextFile::OpenInMode(const char* filePath, const char* runTimeMode) {
    return OpenChecked(filePath, runTimeMode, kReading);
}

int TextFile::CreateInMode(const char* filePath, const char* runTimeMode) {
    return OpenChecked(filePath, runTimeMode, kWriting);
}

int TextFile::OpenText(const char* filePath) { return OpenInMode(filePath, "r"); }
int TextFile::CreateText(const char* filePath) { return CreateInMode(filePath, "wt+"); }

int TextFile::OpenSource(const char* filePath, int firstLine, long start, long end) {
    if (int code = CheckFullPath(filePath)) {
        Reset();
        error = code;
        return code;
    }
    CDoc* found = tf_provider ? tf_provider->FindSourceDocument(filePath) : nullptr;
    int page = 0;
    if (found) {
        Reset();
        document = found;
        mode = kReading;
        if (!SetString(&path, filePath)) {
            error = kResultNoMemory;
            return error;
        }
        page = tf_provider->GetTextPageIndex(found);
        PageText text;
        if (page >= 0 && tf_provider->GetPageText(found, page, &text)) {
            pageEditor = text.editor;
            pageLineCount = text.lineCount;
        }
    } else if (int code = OpenText(filePath)) {
        return code;
    }
    if (end != -2) AttachRange(firstLine, start, end, page);
    return error;
}

bool TextFile::OpenDocument(CDoc* source, int page, int firstLine, long start) {
    Reset();
    document = source;
    if (!source) return false;
    mode = kReading;
    AttachRange(firstLine, start, 0, page);
    return true;
}

void TextFile::SelectPage(int page) { AttachRange(-1, 0, 0, page); }

void TextFile::DropBuffer() {
    if (bufferOwned) MemFree(buffer);
    buffer = nullptr;
    bufferOwned = false;
    bufferBase = 0;
    readPosition = 0;
    bufferLength = 0;
}

void TextFile::AttachRange(int firstLine, long start, long end, int page) {
    statementLine = 0;
    lineCounter = firstLine;
    pageIndex = page;
    if (document) {
        if (page == -1) return;
        DropBuffer();
        PageText text;
        if (!tf_provider || !tf_provider->GetPageText(document, page, &text) || !text.text) {
            if (firstLine == -1) lineCounter = 0;
            return;
        }
        buffer = const_cast<char*>(text.text);
        bufferLength = text.length;
        pageEditor = text.editor;
        pageLineCount = text.lineCount;
        readPosition = start < 0 ? 0 : (start > bufferLength ? bufferLength : start);
        if (firstLine == -1) {
            lineCounter = text.editor ? tf_provider->LineFromChar(document, page, start) : 0;
        }
        return;
    }
    if (firstLine == -1) lineCounter = 0;
    if (!stream) return;
    fseek(stream, start, SEEK_SET);
    if (end == -999) end = fileLength == 1 ? 1 : fileLength - 1;
    if (start >= end) return;
    DropBuffer();
    size_t want = size_t(end - start + 1);
    char* block = static_cast<char*>(MemAllocZero(want + 1));
    if (!block) {
        if (!error) error = kResultNoMemory;
        return;
    }
    size_t got = fread(block, 1, want, stream);
    block[got] = 0;
    buffer = block;
    bufferOwned = true;
    bufferBase = start;
    readPosition = 0;
    bufferLength = long(got);
}

void TextFile::AttachMemory(char* bytes, long length, bool owned) {
    DropBuffer();
    buffer = bytes;
    bufferLength = bytes ? length : 0;
    bufferOwned = owned && bytes;
    if (mode == kClosed) mode = kReading;
}

int TextFile::Close() {
    if (progressShown) StatusBar().SetStatusText("");
    progressShown = false;
    int closeCode = 0;
    if (stream) {
        errno = 0;
        if (fclose(stream) != 0) {
            int errorNumber = errno;
            closeCode = (errorNumber == -1 || errorNumber == 0) ? kResultNoSpace : ErrnoToResult(errorNumber);
        }
        stream = nullptr;
    }
    DropBuffer();
    document = nullptr;
    pageEditor = nullptr;
    spiceDialect = kSpiceDialectNone;
    FreeString(&path);
    mode = kClosed;
    error = closeCode ? closeCode : error;
    return error;
}

// ---- positions ----------------------------------------------------------------

void TextFile::Seek(long offset) {
    if (buffer) {
        long position = offset - bufferBase;
        readPosition = position < 0 ? 0 : (position > bufferLength ? bufferLength : position);
    } else if (stream) {
        fseek(stream, offset, SEEK_SET);
    }
}

long TextFile::Tell() {
    if (buffer) return readPosition + bufferBase;
    if (stream) return ftell(stream);
    return 0;
}

bool TextFile::HasMoreData() {
    if (buffer) return readPosition < bufferLength;
    if (document) return lineCounter < pageLineCount;
    if (!stream) return false;
    int c = getc(stream);
    if (c == EOF) return false;
    ungetc(c, stream);
    return true;
}

// ---- reading ------------------------------------------------------------------

int TextFile::ReadItem(char* out, size_t size, bool commaMode) {
    if (size == 0) return error;
    out[0] = 0;
    itemCut_ = false;
    if (error) return error;
    size_t n = 0;
    bool atComma = false;
    bool readNothing = false;
    if (buffer) {
        readNothing = readPosition >= bufferLength;
        while (readPosition < bufferLength) {
            char c = buffer[readPosition];
            if (n + 1 >= size && c != '\r' && c != '\n' && !(commaMode && c == ',')) {
                itemCut_ = true;
                break;
            }
            if (c == '\r') {
                ++readPosition;
                if (readPosition < bufferLength && buffer[readPosition] == '\n') ++readPosition;
                break;
            }
            // A lone line feed ends the line too: files from elsewhere may have them.
            if (c == '\n') {
                ++readPosition;
                break;
            }
            ++readPosition;
            if (commaMode && c == ',') {
                atComma = true;
                break;
            }
            out[n++] = c;
        }
    } else if (!stream) {
        readNothing = true;
    } else if (commaMode) {
        int c = 0;
        bool any = false;
        while (true) {
            c = getc(stream);
            if (c == EOF || c == '\n') break;
            any = true;
            if (c == ',') {
                atComma = true;
                break;
            }
            if (n + 1 >= size) {
                // Full: the item ends here only when its line does.
                // (A lone CR is dropped rather than pushed back behind a peeked byte.)
                if (c == '\r' && tf_ConsumeLineFeed(stream)) break;
                if (c != '\r') ungetc(c, stream);
                itemCut_ = true;
                break;
            }
            out[n++] = char(c);
        }
        readNothing = !any && c == EOF;
    } else {
        if (!fgets(out, int(size > 0x7FFFFFFF ? 0x7FFFFFFF : size), stream)) {
            out[0] = 0;
            readNothing = true;
        } else {
            n = strlen(out);
            if (n > 0 && out[n - 1] == '\n') {
                --n;
            } else if (!feof(stream)) {
                // Full: the item ends here only when its line does.
                int c = getc(stream);
                if (c == '\r') {
                    if (!tf_ConsumeLineFeed(stream)) itemCut_ = true;
                } else if (c != '\n' && c != EOF) {
                    ungetc(c, stream);
                    itemCut_ = true;
                }
            }
        }
    }
    out[n] = 0;
    if (!atComma && !itemCut_) ++lineCounter;
    if (readNothing) return kResultReadError;
    if (n > 0) tf_TrimTrailingWhitespace(out, n);
    return kOk;
}

int TextFile::ReadFileLine(char* out, size_t size) {
    if (size == 0) return kResultReadError;
    out[0] = 0;
    if (!stream || !fgets(out, int(size > 0x7FFFFFFF ? 0x7FFFFFFF : size), stream)) {
        out[0] = 0;
        return kResultReadError;
    }
    size_t n = strlen(out);
    if (n > 0 && out[n - 1] == '\n') out[--n] = 0;
    if (n > 0 && out[n - 1] == '\r') out[--n] = 0;
    TrimSpaces(out);
    return kOk;
}

int TextFile::ReadLine(char* out, size_t size) {
    for (;;) {
        int code = ReadItem(out, size, false);
        if (code == kResultReadError) {
            if (size > 0) out[0] = 0;
            return kOk;
        }
        if (code) return code;
        if (out[0] == ';') {
            // The rest of an overlong comment is no data line either.
            while (itemCut_ && ReadItem(out, size, false) == kOk) {}
            continue;
        }
        if (out[0] == 0) continue;
        TrimSpaces(out);
        return kOk;
    }
}

int TextFile::ReadKeyValue(char* key, size_t keySize, char* value, size_t valueSize) {
    if (keySize > 0) key[0] = 0;
    if (valueSize > 0) value[0] = 0;
    char line[400];
    int code = ReadLine(line, sizeof line);
    if (code || !line[0]) return code;
    char* p = line;
    SkipWhitespace(p);
    char* equals = strchr(p, '=');
    char* valueText = const_cast<char*>("");
    if (equals) {
        *equals = 0;
        valueText = equals + 1;
        SkipWhitespace(valueText);
        tf_TrimTrailingWhitespace(valueText, strlen(valueText));
    }
    for (char* k = p; *k; ++k) *k = UpperChar(*k);
    tf_TrimTrailingWhitespace(p, strlen(p));
    CopyTextBounded(key, p, keySize);
    CopyTextBounded(value, valueText, valueSize);
    return kOk;
}

int TextFile::ReadGrowingLine(char** field, size_t* capacity, size_t* length) {
    *length = 0;
    if (!*field || *capacity == 0) {
        if (!ResizeZeroed(reinterpret_cast<void**>(field), 100, 0)) return kResultNoMemory;
        *capacity = 100;
    }
    (*field)[0] = 0;
    size_t n = 0;
    bool any = false;
    for (;;) {
        int c;
        if (buffer) {
            if (readPosition >= bufferLength) break;
            c = static_cast<unsigned char>(buffer[readPosition++]);
        } else if (stream) {
            c = getc(stream);
            if (c == EOF) break;
        } else {
            break;
        }
        any = true;
        if (c == '\n') break;
        if (c == '\r') {
            // CR LF is one line end; a lone CR is data.
            if (buffer) {
                if (readPosition < bufferLength && buffer[readPosition] == '\n') {
                    ++readPosition;
                    break;
                }
            } else {
                int next = getc(stream);
                if (next == '\n') break;
                if (next != EOF) ungetc(next, stream);
            }
        }
        if (n + 3 >= *capacity) {
            if (!ResizeZeroed(reinterpret_cast<void**>(field), *capacity + 100, *capacity)) {
                (*field)[n] = 0;
                *length = n;
                return kResultNoMemory;
            }
            *capacity += 100;
        }
        if (c == kValueLineBreak) {
            (*field)[n++] = '\r';
            (*field)[n++] = '\n';
        } else {
            (*field)[n++] = char(c);
        }
    }
    while (n > 0 && (*field)[n - 1] == ' ') --n;
    (*field)[n] = 0;
    *length = n;
    if (!any) return kResultReadError;
    ++lineCounter;
    return kOk;
}

// ---- writing ------------------------------------------------------------------

int TextFile::WriteBytes(const char* text, size_t length) {
    if (!stream) {
        if (!error) error = kResultCannotAccess;
        return error;
    }
    errno = 0;
    bool failed = false;
    if (!textMode_) {
        failed = fwrite(text, 1, length, stream) != length;
        if (length) lastWasCR_ = text[length - 1] == '\r';
    } else {
        size_t from = 0;
        for (size_t i = 0; i < length && !failed; ++i) {
            if (text[i] != '\n') continue;
            bool hasCR = i > 0 ? text[i - 1] == '\r' : lastWasCR_;
            if (hasCR) continue;
            if (i > from && fwrite(text + from, 1, i - from, stream) != i - from) failed = true;
            if (!failed && fwrite("\r\n", 1, 2, stream) != 2) failed = true;
            from = i + 1;
        }
        if (!failed && length > from && fwrite(text + from, 1, length - from, stream) != length - from) failed = true;
        if (length) lastWasCR_ = text[length - 1] == '\r';
    }
    if (failed && !error) error = tf_WriteFailureCode(errno);
    return error;
}

int TextFile::PutText(const char* text) {
    if (!text || !*text) return error;
    return WriteBytes(text, strlen(text));
}

int TextFile::Printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int needed = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed <= 0) {
        va_end(args);
        return error;
    }
    std::vector<char> text(size_t(needed) + 1);
    vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    return WriteBytes(text.data(), size_t(needed));
}

int TextFile::PrintCentered(int width, const char* format, ...) {
    char text[2000];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    int half = width / 2 > 0 ? width / 2 : 0;
    int field = half + int(strlen(text)) / 2;
    return Printf("%*s\n", field, text);
}
