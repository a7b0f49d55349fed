#include "core/sectionfile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>

#include "core/chars.h"
#include "core/desktop.h"
#include "core/fontspec.h"
#include "core/result.h"
#include "core/services.h"

namespace {

constexpr size_t sf_RecordItemSize = 91;
constexpr size_t sf_ProtectedHeadSize = 280;
constexpr size_t sf_PasswordBlockOffset = 24;
constexpr int sf_MaxPasswordLength = 26;  // offsets 1, 11, ... 251 of the 256-byte block

const char* const sf_AnalysisNames[] = {"Transient", "AC", "DC", "Distortion", "DynamicAC", "DynamicDC"};

// A value on one line: CR becomes byte 254 and LF is dropped.
std::string sf_OneLineValue(const char* value) {
    std::string out;
    for (const char* p = value; *p; ++p) {
        if (*p == '\r') {
            out += char(kValueLineBreak);
        } else if (*p != '\n') {
            out += *p;
        }
    }
    return out;
}

bool sf_HasLineBreak(const char* value) { return strpbrk(value, "\r\n") != nullptr; }

void sf_UpperInPlace(char* text) {
    for (; *text; ++text) *text = UpperChar(*text);
}

// True when `header` is "[name]" without regard to case.
bool sf_HeaderIs(const char* header, const char* name) {
    if (header[0] != '[') return false;
    size_t length = strlen(name);
    return CompareNoCaseN(header + 1, name, length) == 0 && header[1 + length] == ']' && header[2 + length] == 0;
}

void sf_SplitInPlace(char* line, char*& key, char*& value) {
    char* p = line;
    while (*p == ' ') ++p;
    key = p;
    char* equals = strchr(p, '=');
    if (equals) {
        *equals = 0;
        value = equals + 1;
    } else {
        value = p + strlen(p);
    }
    sf_UpperInPlace(key);
    TrimSpaces(key);
    TrimSpaces(value);
}

}  // namespace

// ---- construction ---------------------------------------------------------------

SectionFile::SectionFile() { currentSection[0] = 0; }

SectionFile::~SectionFile() {
    FreeString(&lineBuffer);
    lineCapacity = 0;
}

// ---- reading lines --------------------------------------------------------------

int SectionFile::ReadEntry(char* line, size_t size) {
    if (error) {
        if (size > 0) line[0] = 0;
        return 0;
    }
    error = ReadLine(line, size);
    if (error) return 0;
    if (line[0] == '[') {
        CopyTextBounded(currentSection, line, sizeof currentSection);
        return 0;
    }
    currentSection[0] = 0;
    return line[0] ? 1 : 0;
}

int SectionFile::ReadEntryChecked(char* line, size_t size, int& result) {
    result = ReadLine(line, size);
    if (result) return 0;
    if (line[0] == '[') {
        CopyTextBounded(currentSection, line, sizeof currentSection);
        return 0;
    }
    currentSection[0] = 0;
    return line[0] ? 1 : 0;
}

int SectionFile::ReadLongLine() {
    for (;;) {
        size_t length = 0;
        int code = ReadGrowingLine(&lineBuffer, &lineCapacity, &length);
        if (code == kResultReadError) return kOk;  // the end: an empty line
        if (code) return code;
        if (length > 0) return kOk;
    }
}

int SectionFile::ReadLongEntry() {
    if (error) return 0;
    error = ReadLongLine();
    if (error) return 0;
    if (!lineBuffer) {
        // Nothing was ever read: the data has ended, no next section.
        currentSection[0] = 0;
        return 0;
    }
    if (lineBuffer[0] == '[') {
        CopyTextBounded(currentSection, lineBuffer, sizeof currentSection);
        return 0;
    }
    currentSection[0] = 0;
    return lineBuffer[0] ? 1 : 0;
}

int SectionFile::ReadKeyLine(char*& key, char*& value) {
    if (!ReadLongEntry()) return 0;
    SplitLineBuffer(key, value);
    return 1;
}

void SectionFile::SplitLineBuffer(char*& key, char*& value) {
    if (!lineBuffer) {
        key = value = SharedEmptyString();
        return;
    }
    sf_SplitInPlace(lineBuffer, key, value);
}

void SplitKeyValue(const char* line, char* key, size_t keySize, char* value, size_t valueSize) {
    std::string copy = line ? line : "";
    char* k = nullptr;
    char* v = nullptr;
    sf_SplitInPlace(copy.data(), k, v);
    CopyTextBounded(key, k, keySize);
    CopyTextBounded(value, v, valueSize);
}

int SectionFile::SkipSection() {
    if (IsWriting()) return kOk;
    // Long lines are read whole, so that no piece of one is taken for a header.
    while (ReadLongEntry()) {}
    return error;
}

// ---- whole-file buffer ----------------------------------------------------------

int SectionFile::LoadWholeFile(const char* filePath) {
    errno = 0;
    FILE* file = OpenSharedRead(filePath);
    if (!file) {
        int errorNumber = errno;
        return errorNumber == 0 ? kResultTooManyFiles : ErrnoToResult(errorNumber);
    }
    long length = GetStreamLength(file);
    if (length < 0) length = 0;
    char* block = static_cast<char*>(MemAlloc(size_t(length) + 1));
    if (!block) {
        fclose(file);
        return kResultNoMemory;
    }
    errno = 0;
    size_t got = length ? fread(block, 1, size_t(length), file) : 0;
    int errorNumber = errno;
    fclose(file);
    if (got == 0 && length > 0) {
        MemFree(block);
        int code = ErrnoToResult(errorNumber);
        return code ? code : kResultNoSpace;
    }
    block[got] = 0;
    AttachMemory(block, long(got), true);
    SetString(&path, filePath);
    return kOk;
}

int SectionFile::ReadBufferLine(char* line, size_t size) {
    if (size == 0) return kResultReadError;
    line[0] = 0;
    if (!buffer || readPosition >= bufferLength) return kResultReadError;
    size_t n = 0;
    while (readPosition < bufferLength && n + 1 < size) {
        char c = buffer[readPosition++];
        if (c == '\n') break;
        line[n++] = c;
    }
    if (n > 0 && line[n - 1] == '\r') --n;
    while (n > 0 && line[n - 1] == ' ') --n;
    line[n] = 0;
    return kOk;
}

int SectionFile::ReadBufferKeyValue(char* key, size_t keySize, char* value, size_t valueSize) {
    if (keySize > 0) key[0] = 0;
    if (valueSize > 0) value[0] = 0;
    char line[400];
    for (;;) {
        if (ReadBufferLine(line, sizeof line)) return kOk;
        if (line[0] && line[0] != ';') break;
    }
    char* p = line;
    SkipWhitespace(p);
    char* equals = strchr(p, '=');
    char* word = p + strlen(p);
    if (equals) {
        *equals = 0;
        word = equals + 1;
        SkipWhitespace(word);
        char* end = word;
        while (*end && !HasCharClass(*end, CC_SPACE)) ++end;
        *end = 0;
    }
    sf_UpperInPlace(p);
    TrimTrailingWhitespace(p);
    CopyTextBounded(key, p, keySize);
    CopyTextBounded(value, word, valueSize);
    return kOk;
}

void SectionFile::FreeWholeFile() { DropBuffer(); }

// ---- writing lines ----------------------------------------------------------------

int SectionFile::WriteLineText(const char* text) {
    PutText(text);
    return PutText("\n");
}

int SectionFile::WriteSectionHeader(const char* name) {
    if (stream && ftell(stream) > 0) PutText("\n");
    return Printf("[%s]\n", name ? name : "");
}

int SectionFile::WriteKey(const char* key, const char* value) {
    if (!value || !*value) return Printf("%s\n", key);
    if (!sf_HasLineBreak(value)) return Printf("%s=%s\n", key, value);
    return Printf("%s=%s\n", key, sf_OneLineValue(value).c_str());
}

int SectionFile::WriteQuotedKey(const char* key, const char* value) {
    if (!value || !*value) return Printf("%s\n", key);
    return Printf("%s=\"%s\"\n", key, sf_OneLineValue(value).c_str());
}

int SectionFile::WriteIntKey(const char* key, int value) { return Printf("%s=%d\n", key, value); }

int SectionFile::WriteDoubleKey(const char* key, double value) { return Printf("%s=%.16g\n", key, value); }

int SectionFile::WriteRectKey(const char* key, int left, int top, int right, int bottom) {
    return Printf("%s=%d,%d,%d,%d\n", key, left, top, right, bottom);
}

int SectionFile::WriteVersionKey(const char* key, int32_t version) {
    char text[24];
    FormatVersionText(text, sizeof text, version);
    return Printf("%s=%s\n", key, text);
}

int SectionFile::WriteBoolKey(const char* key, bool flag) { return WriteKey(key, flag ? "True" : "False"); }
int SectionFile::WriteYesNoKey(const char* key, bool flag) { return WriteKey(key, flag ? "Yes" : "No"); }
int SectionFile::WriteOnOffKey(const char* key, bool flag) { return WriteKey(key, flag ? "On" : "Off"); }

int SectionFile::WriteIndexedKey(const char* key, int index, const char* value) {
    char indexed[200];
    FormatBounded(indexed, sizeof indexed, "%s[%i]", key, index);
    return WriteKey(indexed, value);
}

int SectionFile::WriteIndexedBoolKey(const char* key, int index, bool flag) {
    return WriteIndexedKey(key, index, flag ? "True" : "False");
}

int SectionFile::WriteAnalysisKey(int analysis) { return WriteKey("Analysis", GetAnalysisName(analysis)); }

int SectionFile::WriteComment(const char* text) { return Printf(";%s\n", text ? text : ""); }

int SectionFile::SerializeCommentMarker(const char* name) {
    std::string lower = name ? name : "";
    for (char& c : lower) c = LowerChar(c);
    char marker[300];
    FormatBounded(marker, sizeof marker, ":**** %s ****", lower.c_str());
    if (IsWriting()) return WriteLineText(marker);
    char line[300];
    if (error) return error;
    error = ReadLine(line, sizeof line);
    if (!error && strcmp(line, marker) != 0) {
        error = kResultBadFormat;
        if (path) SetPendingText(path);
    }
    return error;
}

// ---- whole files ------------------------------------------------------------------

int SectionFile::ReadSectionTable(SectionHandler* table, int count) {
    if (IsWriting()) {
        for (int i = 0; i < count; ++i) {
            WriteSectionHeader(table[i].name);
            FormatBounded(currentSection, sizeof currentSection, "[%s]", table[i].name);
            if (int code = table[i].routine(*this, table[i].object)) return code;
        }
        return error;
    }
    for (int i = 0; i < count; ++i) table[i].firstLetter = UpperChar(table[i].name[0]);
    if (!currentSection[0]) {
        char first[kSectionNameSize];
        if (int code = ReadLine(first, sizeof first)) return code;
        if (!first[0]) return kOk;
        CopyTextBounded(currentSection, first, sizeof currentSection);
    }
    for (;;) {
        double now = GetSeconds();
        if (now - startTime > 2.0) {
            if (fileLength <= 0) fileLength = stream ? GetStreamLength(stream) : bufferLength;
            long percent = fileLength > 0 ? long(double(Tell()) / double(fileLength) * 100.0) : 0;
            char text[400];
            FormatBounded(text, sizeof text, "Loading File %s percent %ld%% done.", path ? path : "", percent);
            StatusBar().SetStatusText(text);
            progressShown = true;
            startTime = now;
        }
        char letter = UpperChar(currentSection[1]);
        SectionHandler* row = nullptr;
        for (int i = 0; i < count && currentSection[0] == '['; ++i) {
            if (table[i].firstLetter == letter && sf_HeaderIs(currentSection, table[i].name)) {
                row = &table[i];
                break;
            }
        }
        bool skip = row == nullptr;
        if (row) {
            char before[kSectionNameSize];
            CopyTextBounded(before, currentSection, sizeof before);
            long position = Tell();
            if (int code = row->routine(*this, row->object)) return code;
            // A routine that read nothing would bring its own header round again.
            skip = strcmp(before, currentSection) == 0 && Tell() == position;
        }
        if (skip) {
            while (ReadLongEntry()) {}
            if (error) return error;
        }
        if (currentSection[0] != '[') return error;
    }
}

int SectionFile::WriteMainHeader(const char* fileType, int32_t version) {
    WriteKey("FileType", fileType);
    WriteVersionKey("Version", version);
    return WriteKey("Program", kBinaryProgramName);
}

int SectionFile::CheckMainHeader(const char* fileType, int32_t& version) {
    char key[400];
    char value[400];
    int code = ReadKeyValue(key, sizeof key, value, sizeof value);
    if (code) return code;
    if (strcmp(key, "FILETYPE") != 0 || CompareNoCase(value, fileType ? fileType : "") != 0) {
        return kResultNotFormat;
    }
    if ((code = ReadKeyValue(key, sizeof key, value, sizeof value))) return code;
    if (strcmp(key, "VERSION") != 0) return kResultNotFormat;
    version = ParseVersionText(value);
    if ((code = ReadKeyValue(key, sizeof key, value, sizeof value))) return code;
    if (strcmp(key, "PROGRAM") != 0 ||
        (CompareNoCase(value, "Tarnwick") != 0 && CompareNoCase(value, "Tarnwick V") != 0)) {
        return kResultNotFormat;
    }
    return kOk;
}

// ---- comma records ----------------------------------------------------------------

// Writing: the value text and its separator. Reading: the next item into `text`.
int SectionFile::SerializeNumberText(char* text, size_t size, int flags) {
    if (IsWriting()) {
        PutText(text);
        return PutText((flags & kRecordEndLine) ? "\n" : ",");
    }
    return ReadRecordItem(text, size);
}

int SectionFile::ReadRecordItem(char* text, size_t size) {
    if (error) {
        text[0] = 0;
        return error;
    }
    int code = ReadItem(text, size, true);
    if (code) error = code;
    return error;
}

int SectionFile::SerializeDouble(double& value, int flags) {
    char text[sf_RecordItemSize];
    if (IsWriting()) FormatBounded(text, sizeof text, "%g", value);
    int code = SerializeNumberText(text, sizeof text, flags);
    if (!IsWriting()) value = atof(text);
    return code;
}

int SectionFile::SerializeInt(int32_t& value, int flags) {
    char text[sf_RecordItemSize];
    if (IsWriting()) FormatBounded(text, sizeof text, "%d", int(value));
    int code = SerializeNumberText(text, sizeof text, flags);
    if (!IsWriting()) value = int32_t(atoi(text));
    return code;
}

int SectionFile::SerializeUInt(uint32_t& value, int flags) {
    char text[sf_RecordItemSize];
    if (IsWriting()) FormatBounded(text, sizeof text, "%u", unsigned(value));
    int code = SerializeNumberText(text, sizeof text, flags);
    if (!IsWriting()) value = uint32_t(strtoll(text, nullptr, 10));
    return code;
}

int SectionFile::SerializeLong(int32_t& value, int flags) {
    char text[sf_RecordItemSize];
    if (IsWriting()) FormatBounded(text, sizeof text, "%d", int(value));
    int code = SerializeNumberText(text, sizeof text, flags);
    if (!IsWriting()) value = int32_t(atol(text));
    return code;
}

int SectionFile::SerializeShort(int16_t& value, int flags) {
    char text[sf_RecordItemSize];
    if (IsWriting()) FormatBounded(text, sizeof text, "%d", int(value));
    int code = SerializeNumberText(text, sizeof text, flags);
    if (!IsWriting()) value = int16_t(atoi(text));
    return code;
}

int SectionFile::SerializeUShort(uint16_t& value, int flags) {
    char text[sf_RecordItemSize];
    if (IsWriting()) FormatBounded(text, sizeof text, "%u", unsigned(value));
    int code = SerializeNumberText(text, sizeof text, flags);
    if (!IsWriting()) value = uint16_t(atoi(text));
    return code;
}

int SectionFile::SerializeByte(uint8_t& value, int flags) {
    char text[sf_RecordItemSize];
    if (IsWriting()) FormatBounded(text, sizeof text, "%u", unsigned(value));
    int code = SerializeNumberText(text, sizeof text, flags);
    if (!IsWriting()) value = uint8_t(atoi(text));
    return code;
}

int SectionFile::SerializePoint(int32_t& x, int32_t& y, int flags) {
    SerializeInt(x, 0);
    return SerializeInt(y, flags);
}

int SectionFile::SerializeRect(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) {
    SerializeInt(left, 0);
    SerializeInt(top, 0);
    SerializeInt(right, 0);
    return SerializeInt(bottom, kRecordEndLine);
}

int SectionFile::SerializeCount(int32_t& count) { return SerializeInt(count, kRecordEndLine); }

int SectionFile::SerializeText(char* text, size_t size, int flags) {
    if (IsWriting()) {
        PutText(text);
        return PutText((flags & kRecordEndLine) ? "\n" : ",");
    }
    char line[1001];
    if (error) {
        if (size > 0) text[0] = 0;
        return error;
    }
    int code = ReadItem(line, sizeof line, false);
    // The rest of an overlong line is dropped so that the next record stays in step.
    char rest[256];
    while (!code && itemCut_ && ReadItem(rest, sizeof rest, false) == kOk) {}
    if (code) error = code;
    CopyTextBounded(text, line, size);
    return error;
}

int SectionFile::SerializeString(char** field, int flags) {
    if (IsWriting()) {
        PutText(*field);
        return PutText((flags & kRecordEndLine) ? "\n" : ",");
    }
    char text[sf_RecordItemSize];
    SerializeText(text, sizeof text, flags);
    if (!error && !SetString(field, text)) error = kResultNoMemory;
    return error;
}

int SectionFile::SerializeMultilineText(char** field) {
    if (IsWriting()) {
        if (*field) PutText(sf_OneLineValue(*field).c_str());
        return PutText("\n");
    }
    if (error) return error;
    char* text = nullptr;
    size_t capacity = 0;
    size_t length = 0;
    int code = ReadGrowingLine(&text, &capacity, &length);
    if (code) {
        FreeString(&text);
        error = code;
        return error;
    }
    FreeString(field);
    *field = text;
    return error;
}

int SectionFile::SerializeLineEnd() {
    if (IsWriting()) return PutText("\n");
    char text[sf_RecordItemSize];
    return ReadRecordItem(text, sizeof text);
}

int SectionFile::SerializeBlankLines(int count) {
    for (int i = 0; i < count; ++i) SerializeLineEnd();
    return error;
}

int SectionFile::SerializeFontRecord(FontSpec& font) {
    int16_t height = font.height;
    uint8_t style = font.style;
    uint8_t spare = 0;
    uint8_t color = font.color;
    SerializeShort(height, 0);
    SerializeByte(style, 0);
    SerializeByte(spare, 0);
    SerializeByte(color, 0);
    char face[64];
    CopyTextBounded(face, IsWriting() ? FontFaceName(font.face) : "", sizeof face);
    SerializeText(face, sizeof face, kRecordEndLine);
    if (!IsWriting() && !error) {
        font.height = height;
        font.style = style;
        font.color = color;
        font.face = uint16_t(FindOrAddFontFace(face));
    }
    return error;
}

// ---- values inside key=value lines ------------------------------------------------

bool IsTrueText(const char* value) { return value && CompareNoCase(value, "True") == 0; }
bool IsYesText(const char* value) { return value && CompareNoCase(value, "Yes") == 0; }
bool IsOnText(const char* value) { return value && CompareNoCase(value, "On") == 0; }

int ParseIndexedKey(const char* key, const char* name, int& index) {
    const char* bracket = strchr(key, '[');
    if (!bracket) return -1;
    size_t length = size_t(bracket - key);
    int compare = strncmp(key, name, length);
    // The whole name must match, not only its first characters.
    if (compare == 0 && name[length] != 0) compare = -1;
    if (compare != 0) return compare;
    char digits[51];
    size_t n = 0;
    for (const char* p = bracket + 1; *p && *p != ']' && n < sizeof digits - 1; ++p) digits[n++] = *p;
    digits[n] = 0;
    index = atoi(digits);
    return 0;
}

char* NextCommaField(char*& cursor) {
    while (*cursor == ' ') ++cursor;
    char* field = cursor;
    char* comma = strchr(cursor, ',');
    if (comma) {
        *comma = 0;
        cursor = comma + 1;
    } else {
        cursor += strlen(cursor);
    }
    return field;
}

void TakeQuotedField(char* out, size_t size, char* text) {
    if (size > 0) out[0] = 0;
    char* p = text;
    while (*p == ' ') ++p;
    if (*p == ',') {
        memmove(text, p + 1, strlen(p + 1) + 1);
        return;
    }
    if (*p != '"') return;
    ++p;
    size_t n = 0;
    for (; *p && *p != '"'; ++p) {
        if (static_cast<unsigned char>(*p) == kValueLineBreak) {
            if (n + 2 < size) {
                out[n++] = '\r';
                out[n++] = '\n';
            }
        } else if (n + 1 < size) {
            out[n++] = *p;
        }
    }
    if (size > 0) out[n] = 0;
    if (*p == '"') ++p;
    while (*p == ' ') ++p;
    if (*p == ',') ++p;
    memmove(text, p, strlen(p) + 1);
}

void FindValueOfKey(char* out, size_t size, const char* list, const char* key) {
    if (size > 0) out[0] = 0;
    if (!list || !key) return;
    const char* p = list;
    for (;;) {
        while (*p == ' ' || *p == ',') ++p;
        if (!*p) return;
        const char* keyStart = p;
        while (*p && *p != '=' && *p != ',') ++p;
        const char* keyEnd = p;
        while (keyEnd > keyStart && keyEnd[-1] == ' ') --keyEnd;
        const char* valueStart = p;
        const char* valueEnd = p;
        if (*p == '=') {
            ++p;
            while (*p == ' ') ++p;
            if (*p == '"') {
                valueStart = ++p;
                while (*p && *p != '"') ++p;
                valueEnd = p;
                if (*p == '"') ++p;
                while (*p && *p != ',') ++p;
            } else {
                valueStart = p;
                while (*p && *p != ',') ++p;
                valueEnd = p;
                while (valueEnd > valueStart && valueEnd[-1] == ' ') --valueEnd;
            }
        }
        size_t keyLength = size_t(keyEnd - keyStart);
        if (keyLength == strlen(key) && CompareNoCaseN(keyStart, key, keyLength) == 0) {
            size_t n = size_t(valueEnd - valueStart);
            if (size > 0) {
                if (n > size - 1) n = size - 1;
                memcpy(out, valueStart, n);
                out[n] = 0;
                TrimSpaces(out);
            }
            return;
        }
    }
}

int32_t ParseVersionText(const char* text) {
    if (!text) return 0;
    uint32_t major = uint32_t(atoi(text)) & 0xFFFF;
    uint32_t minor = 0;
    if (const char* point = strchr(text, '.')) {
        char first = point[1];
        if (first >= '0' && first <= '9') {
            char second = point[2];
            minor = (second >= '0' && second <= '9') ? uint32_t((first - '0') * 10 + (second - '0'))
                                                     : uint32_t((first - '0') * 10);
        }
    }
    return int32_t((major << 16) | minor);
}

void FormatVersionText(char* out, size_t size, int32_t version) {
    uint32_t bits = uint32_t(version);
    FormatBounded(out, size, "%d.%02d", int(bits >> 16), int(bits & 0xFFFF));
}

const char* GetAnalysisName(int analysis) {
    if (analysis < 0 || analysis >= int(std::size(sf_AnalysisNames))) return "";
    return sf_AnalysisNames[analysis];
}

int FindAnalysisName(const char* name) {
    if (!name) return -1;
    for (int i = 0; i < int(std::size(sf_AnalysisNames)); ++i) {
        if (CompareNoCase(name, sf_AnalysisNames[i]) == 0) return i;
    }
    return -1;
}

// ---- protected files ----------------------------------------------------------------

const unsigned char* BuildPermutationTable() {
    static unsigned char table[256];
    if (table[0] == 0 && table[1] == 0) {
        int value = 0;
        for (int pass = 0; pass < 5; ++pass) {
            for (int position = pass; position < 256; position += 5) table[position] = uint8_t(value++);
        }
    }
    return table;
}

int SectionFile::DecodeProtectedFile(const char* expectedPassword) {
    const unsigned char* table = BuildPermutationTable();
    unsigned char inverse[256];
    for (int j = 0; j < 256; ++j) inverse[table[j]] = uint8_t(j);

    size_t length = 0;
    int readFailure = 0;
    unsigned char* block = nullptr;
    if (stream) {
        long start = buffer ? bufferBase : 0;
        long total = GetStreamLength(stream);
        length = total > start ? size_t(total - start) : 0;
        block = static_cast<unsigned char*>(MemAlloc(length + 1));
        if (!block) return error = kResultNoMemory;
        errno = 0;
        fseek(stream, start, SEEK_SET);
        size_t got = length ? fread(block, 1, length, stream) : 0;
        if (got != length) {
            readFailure = ErrnoToResult(errno);
            if (!readFailure) readFailure = kResultNoSpace;
            length = got;
        }
    } else if (buffer) {
        length = size_t(bufferLength);
        block = static_cast<unsigned char*>(MemAlloc(length + 1));
        if (!block) return error = kResultNoMemory;
        memcpy(block, buffer, length);
    } else {
        return error = kResultBadFormat;
    }

    const unsigned char* key = block + sf_PasswordBlockOffset;
    int passwordLength = length >= sf_ProtectedHeadSize ? int(key[0]) - 65 : -1;
    bool headValid = passwordLength >= 0 && passwordLength <= sf_MaxPasswordLength;
    if (headValid && expectedPassword) {
        char stored[sf_MaxPasswordLength + 1];
        for (int i = 0; i < passwordLength; ++i) stored[i] = char(key[1 + 10 * i] + 12);
        stored[passwordLength] = 0;
        if (CompareNoCase(stored, expectedPassword) != 0) wrongPassword = true;
    }
    if (readFailure || !headValid) {
        MemFree(block);
        error = readFailure ? readFailure : kResultBadFormat;
        if (path) SetPendingText(path);
        return error;
    }

    size_t bodyLength = length - sf_ProtectedHeadSize;
    unsigned char* body = block + sf_ProtectedHeadSize;
    for (size_t k = 0; k < bodyLength; ++k) {
        body[k] = uint8_t(size_t(inverse[body[k]]) - bodyLength - k);
    }
    for (size_t i = 0, j = bodyLength; i + 1 < j; ++i, --j) std::swap(body[i], body[j - 1]);
    memmove(block, body, bodyLength);
    block[bodyLength] = 0;
    AttachMemory(reinterpret_cast<char*>(block), long(bodyLength), true);
    lineCounter = 0;
    return error;
}

int EncodeProtectedFile(const char* body, size_t length, const char* password, int32_t version, char** out,
                        size_t* outLength) {
    *out = nullptr;
    *outLength = 0;
    if (!password) password = "";
    size_t passwordLength = strlen(password);
    if (passwordLength > size_t(sf_MaxPasswordLength)) return kResultBadFormat;
    size_t total = sf_ProtectedHeadSize + length;
    unsigned char* block = static_cast<unsigned char*>(MemAlloc(total + 1));
    if (!block) return kResultNoMemory;
    memset(block, 0, sf_ProtectedHeadSize);
    memcpy(block, "CRP", 3);
    uint32_t bits = uint32_t(version);
    for (int i = 0; i < 4; ++i) block[4 + i] = uint8_t(bits >> (8 * i));
    memcpy(block + 8, kBinaryProgramName, sizeof kBinaryProgramName);

    // The key block's other bytes only hide where the password stands.
    unsigned char* key = block + sf_PasswordBlockOffset;
    uint32_t seed = uint32_t(length) * 2654435761u + 12345u;
    for (int i = 0; i < 256; ++i) {
        seed = seed * 1103515245u + 12345u;
        key[i] = uint8_t(seed >> 16);
    }
    key[0] = uint8_t(65 + passwordLength);
    for (size_t i = 0; i < passwordLength; ++i) key[1 + 10 * i] = uint8_t(static_cast<unsigned char>(password[i]) - 12);

    const unsigned char* table = BuildPermutationTable();
    unsigned char* scrambled = block + sf_ProtectedHeadSize;
    const unsigned char* plain = reinterpret_cast<const unsigned char*>(body);
    for (size_t k = 0; k < length; ++k) {
        scrambled[k] = table[uint8_t(size_t(plain[length - 1 - k]) + length + k)];
    }
    block[total] = 0;
    *out = reinterpret_cast<char*>(block);
    *outLength = total;
    return kOk;
}
