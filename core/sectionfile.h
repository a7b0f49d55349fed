// Section files: the text format of the settings file, circuit files, libraries
// and most other data files.
//
//   [Section]            a header; names compare without case
//   Key=value            keys compare without case (readers upper-case them)
//   Key                  a key with an empty value
//   ;comment             only in the first column
//
// A value is one line: a line break inside it is stored as byte 254 (the line
// feed dropped). Sections are separated by one empty line. Each section is
// served by one routine that writes or reads it by the file's mode, so writing
// and reading stay in step.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/textfile.h"

struct FontSpec;
class SectionFile;

// Flag of the comma-record operations: end the line after the value.
inline constexpr int kRecordEndLine = 0x80;
inline constexpr size_t kSectionNameSize = 100;

// One row of a section table.
struct SectionHandler {
    const char* name;                                 // without brackets: "Main"
    int (*routine)(SectionFile& file, void* object);  // writes or reads the section
    void* object;                                     // what the routine works on
    char firstLetter;                                 // cached by ReadSectionTable
};

class SectionFile : public TextFile {
public:
    SectionFile();
    ~SectionFile() override;

    // ---- reading lines ----
    // One loop step of a section reader: reads the next line (comments and empty
    // lines skipped) and stores its result as the error. A header becomes the
    // current section. Returns 1 for a data line, else 0 (header, end or error).
    int ReadEntry(char* line, size_t size);
    // The same with the result handed back in `error` and nothing stored.
    int ReadEntryChecked(char* line, size_t size, int& error);
    // ReadEntry for lines of any length, read into lineBuffer.
    int ReadLongEntry();
    // The loop step of section readers: ReadLongEntry, then the line split in
    // place; 1 with the upper-cased key and the value, 0 at the next header (made
    // current), at the end of the data or on an error (stored).
    int ReadKeyLine(char*& key, char*& value);
    // The next non-empty line of any length into lineBuffer (comments are not
    // skipped); the end of the data gives "" and 0.
    int ReadLongLine();
    // Splits lineBuffer in place at its first "=" (key upper-cased, both trimmed).
    void SplitLineBuffer(char*& key, char*& value);
    int ReadPair(char* key, size_t keySize, char* value, size_t valueSize) {
        return ReadKeyValue(key, keySize, value, valueSize);
    }
    // Reads to the next header (which becomes the current section) or the end.
    int SkipSection();

    // Whole-file buffer reading (the file read at once, then key/first-word pairs).
    int LoadWholeFile(const char* path);
    int ReadBufferLine(char* line, size_t size);
    int ReadBufferKeyValue(char* key, size_t keySize, char* value, size_t valueSize);
    void FreeWholeFile();

    // ---- writing lines (each returns the stream's result code) ----
    // An empty line first unless nothing has been written yet, then "[name]".
    int WriteSectionHeader(const char* name);
    // "Key=value"; an empty value writes the key alone; CR becomes byte 254 and
    // LF is dropped.
    int WriteKey(const char* key, const char* value);
    int WriteTextKey(const char* key, const char* value) { return WriteKey(key, value); }
    int WriteQuotedKey(const char* key, const char* value);
    int WriteIntKey(const char* key, int value);
    int WriteDoubleKey(const char* key, double value);
    int WriteRectKey(const char* key, int left, int top, int right, int bottom);
    int WriteVersionKey(const char* key, int32_t version);
    int WriteBoolKey(const char* key, bool flag);
    int WriteYesNoKey(const char* key, bool flag);
    int WriteOnOffKey(const char* key, bool flag);
    int WriteIndexedKey(const char* key, int index, const char* value);
    int WriteIndexedBoolKey(const char* key, int index, bool flag);
    int WriteAnalysisKey(int analysis);
    int WriteComment(const char* text);
    // Writing: ":**** name ****" (name in lower case); reading: that line or 15009.
    int SerializeCommentMarker(const char* name);

    // ---- whole files ----
    // Writing: every row's header and routine in table order. Reading: each
    // header of the file in its own order dispatched to its row; sections the
    // table does not list are skipped. Stops at the first non-zero result.
    int ReadSectionTable(SectionHandler* table, int count);
    // "FileType", "Version" ("%d.%02d") and "Program" key lines.
    int WriteMainHeader(const char* fileType, int32_t version);
    // 5355 unless the next three lines are FileType (equal to `fileType`),
    // Version and Program "Tarnwick" in that order.
    int CheckMainHeader(const char* fileType, int32_t& version);

    // ---- comma records (older flat layouts): write or read by mode ----
    int SerializeDouble(double& value, int flags);
    int SerializeInt(int32_t& value, int flags);
    int SerializeUInt(uint32_t& value, int flags);
    int SerializeLong(int32_t& value, int flags);
    int SerializeShort(int16_t& value, int flags);
    int SerializeUShort(uint16_t& value, int flags);
    int SerializeByte(uint8_t& value, int flags);
    int SerializePoint(int32_t& x, int32_t& y, int flags);
    int SerializeRect(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom);
    int SerializeCount(int32_t& count);
    // A caller's text buffer of `size` bytes (reading: the rest of the line).
    int SerializeText(char* text, size_t size, int flags);
    int SerializeString(char** field, int flags);
    int SerializeMultilineText(char** field);
    int SerializeLineEnd();
    int SerializeBlankLines(int count);
    // Height, style, a spare byte, colour, then the face name ending the line.
    int SerializeFontRecord(FontSpec& font);

    // Reads a file written by File > Protect into the memory buffer. With an
    // expected password (not null) a different stored one sets wrongPassword.
    // 15009 for a file shorter than its head or a broken password block; a
    // failure attaches nothing.
    int DecodeProtectedFile(const char* expectedPassword);

    char* lineBuffer = nullptr;  // heap string: the current line of any length
    size_t lineCapacity = 0;
    int32_t targetVersion = 0;              // the format version being written
    char currentSection[kSectionNameSize];  // the last header read, or ""

private:
    int WriteLineText(const char* text);
    int SerializeNumberText(char* text, size_t size, int flags);
    int ReadRecordItem(char* text, size_t size);
};

// Splits a line at its first "=": the key copied and upper-cased, the value
// copied, both trimmed of blanks. Without "=" the whole line is the key.
void SplitKeyValue(const char* line, char* key, size_t keySize, char* value, size_t valueSize);

bool IsTrueText(const char* value);
bool IsYesText(const char* value);
bool IsOnText(const char* value);
// "name[index]": -1 without "["; 0 with the index read when the part before "["
// equals `name`; otherwise the comparison result.
int ParseIndexedKey(const char* key, const char* name, int& index);
// Skips blanks, cuts the text at the next comma and returns the field; the
// cursor moves past the comma (to the end when there is none).
char* NextCommaField(char*& cursor);
// Takes a leading double-quoted field (byte 254 back to CR LF) off `text` into
// `buffer`; a field that is just a comma is removed; anything else stays.
void TakeQuotedField(char* buffer, size_t size, char* text);
// The trimmed value of the first key=value item of a comma list whose key
// equals `key` without case; "" when absent.
void FindValueOfKey(char* buffer, size_t size, const char* list, const char* key);
// "8.01" -> 8 << 16 | 1, "5.3" -> 5 << 16 | 30, "7" -> 7 << 16.
int32_t ParseVersionText(const char* text);
void FormatVersionText(char* buffer, size_t size, int32_t version);

// Analysis names of the "Analysis" key: 0 "Transient" ... 5 "DynamicDC".
const char* GetAnalysisName(int analysis);
int FindAnalysisName(const char* name);

// The byte permutation of protected files (built once).
const unsigned char* BuildPermutationTable();
// The exact inverse of DecodeProtectedFile: a block of `*outLength` bytes (from
// MemAlloc) holding the 24-byte header with tag "CRP" and `version`, the
// password block and the scrambled `body`. 15009 for a password longer than
// 26 characters, 15002 out of memory.
int EncodeProtectedFile(const char* body, size_t length, const char* password, int32_t version, char** out,
                        size_t* outLength);
