// The one text stream of the program: a disk file, a memory buffer (a byte range
// of a file, a decoded protected file) or the text page of a document open in a
// window, read as lines or comma-separated items with line counting, or a disk
// file written with printf-style output.
//
// Files written in text mode get CR LF line ends; readers accept CR LF and LF.
#pragma once

#include <cstddef>

#include "core/dialect.h"
#include "core/filestream.h"

// Documents and their text editors belong to later layers; the core only passes
// them around and asks the installed TextSourceProvider about them.
class CDoc;
class CTxtEditWnd;

// The byte that stands for a line break inside a one-line value.
inline constexpr unsigned char kValueLineBreak = 254;

// The text of one document page as a reader sees it.
struct PageText {
    const char* text = nullptr;     // not owned; valid until the page changes
    long length = 0;                // bytes of text
    int lineCount = 0;              // lines of the page (cached by the document)
    CTxtEditWnd* editor = nullptr;  // the page's editor; null when the page
                                    // holds its own text (no window yet)
};

// What the document layers tell the core about open documents. Installed once
// at start-up; without one, texts are read from disk and no document is found.
class TextSourceProvider {
public:
    virtual ~TextSourceProvider() = default;
    // The open document that shows `path`: first among the source files of the
    // current analysis (entries after the first), then among all documents with
    // a window. Null when none.
    virtual CDoc* FindSourceDocument(const char* path) = 0;
    // The first document with a window whose path equals `path`; null when none.
    virtual CDoc* FindDocumentByPath(const char* path) = 0;
    // The document's text page index, -1 when it has none.
    virtual int GetTextPageIndex(CDoc* document) = 0;
    // The text of a page; false when the page has no text to read.
    virtual bool GetPageText(CDoc* document, int page, PageText* out) = 0;
    // The line that holds a character position of a page.
    virtual int LineFromChar(CDoc* document, int page, long position) = 0;
    // Shows "That file name is already in use." and returns 15055 when `path`
    // is open in another window than `window`; else 0.
    virtual int CheckPathNotOpenElsewhere(void* window, const char* path) = 0;
    // Reloads an open text document (kind 2) of `path` from its file.
    virtual void ReloadOpenTextDocument(const char* path) = 0;
};

void SetTextSourceProvider(TextSourceProvider* provider);
TextSourceProvider* GetTextSourceProvider();

// 15038 for an empty path, 15952 for a path that does not begin with "/"; the
// path becomes the pending text in both cases. 0 otherwise.
int CheckFullPath(const char* path);
// Through the installed provider; null / 0 / nothing without one.
CDoc* FindDocumentByPath(const char* path);
int CheckPathNotOpenElsewhere(void* window, const char* path);
void ReloadOpenTextDocument(const char* path);

class TextFile : public FileStream {
public:
    enum Mode : int { kClosed = 0, kWriting = 1, kReading = 2 };

    TextFile();
    ~TextFile() override;

    // Forgets everything without freeing anything: no stream, error 0, start
    // time now, SPICE tag none.
    void Reset();

    // Opening: an empty path 15038, a relative one 15952, open failures 15023,
    // 15022, 15950 + errno, 15974; the path is the pending text on failure.
    int OpenInMode(const char* path, const char* mode);
    int CreateInMode(const char* path, const char* mode);
    int OpenText(const char* path);    // "r"
    int CreateText(const char* path);  // "w+", CR LF line ends
    // Opens a text for reading, preferring the page of an open document over the
    // file; unless `end` is -2 the range start..end is attached (end -999: the
    // end of the file).
    int OpenSource(const char* path, int firstLine, long start, long end);
    // Reads a page of an open document; returns whether a document was given.
    bool OpenDocument(CDoc* document, int page, int firstLine, long start);
    void SelectPage(int page);
    void AttachRange(int firstLine, long start, long end, int page);
    // Reads `length` bytes of memory instead of a file (mode reading). With
    // `owned` the block (from MemAlloc) is freed by Close.
    void AttachMemory(char* bytes, long length, bool owned);

    // Closes the stream, frees an owned buffer and the path; returns the close
    // failure, else the stored error, and stores it.
    int Close();

    void Seek(long offset);
    long Tell();
    bool HasMoreData();

    // Reading. ReadItem is the primitive: one line (or, in comma mode, one comma
    // separated item) of at most size - 1 bytes, trailing white space cut;
    // 15007 at the end of the data. Longer lines arrive in pieces.
    int ReadItem(char* buffer, size_t size, bool commaMode);
    int ReadToken(char* buffer, size_t size) { return ReadItem(buffer, size, true); }
    int ReadRawLine(char* buffer, size_t size) { return ReadItem(buffer, size, false); }
    // One line straight from the disk file, blanks trimmed; 15007 at the end.
    int ReadFileLine(char* buffer, size_t size);
    // The next line that is neither empty nor a comment (";" in column one),
    // blanks trimmed; the end of the data gives "" and 0.
    int ReadLine(char* buffer, size_t size);
    // The next line split at its first "=": the key upper-cased and trimmed, the
    // value trimmed; without "=" all key. The end gives "" / "" and 0.
    int ReadKeyValue(char* key, size_t keySize, char* value, size_t valueSize);
    // One line of any length into a heap string that grows in steps of 100
    // bytes; byte 254 becomes CR LF; trailing blanks cut. 15007 when the data
    // had ended, 15002 when growing failed.
    int ReadGrowingLine(char** field, size_t* capacity, size_t* length);

    // Writing; a failed write stores the errno code.
    int PutText(const char* text);
    int Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Prints the text and a line end centred on a report of `width` columns
    // (the caller's report width, 80 by default).
    int PrintCentered(int width, const char* format, ...) __attribute__((format(printf, 3, 4)));

    bool IsReading() const { return mode == kReading; }
    bool IsWriting() const { return mode == kWriting; }

    double startTime = 0;        // seconds at the last reset / progress report
    bool progressShown = false;  // a progress text is on the status bar
    long fileLength = 0;         // bytes of the open disk file, 0 until known
    int mode = kClosed;
    char* path = nullptr;  // heap string
    bool bufferOwned = false;
    int lineCounter = 0;    // lines read so far
    int pageLineCount = 0;  // lines of the attached document page
    int statementLine = 0;  // where the statement being read began
    CDoc* document = nullptr;
    CTxtEditWnd* pageEditor = nullptr;
    char* buffer = nullptr;  // bytes read instead of the stream
    long bufferBase = 0;     // file offset of the buffer's first byte
    long readPosition = 0;   // next byte within the buffer
    long bufferLength = 0;
    int pageIndex = 0;
    bool wrongPassword = false;  // a protected file was opened with a wrong password
    int spiceDialect = kSpiceDialectNone;

protected:
    int WriteBytes(const char* text, size_t length);
    int OpenChecked(const char* filePath, const char* runTimeMode, int newMode);
    void DropBuffer();
    bool textMode_ = false;   // writes translate "\n" to "\r\n"
    bool lastWasCR_ = false;  // the last byte written was a CR
    bool itemCut_ = false;    // the last item stopped at the size limit, mid-line
};
