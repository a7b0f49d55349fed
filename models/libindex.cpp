#include "models/libindex.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "core/chars.h"
#include "core/desktop.h"
#include "core/filestream.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/paths.h"
#include "core/port.h"
#include "core/report_port.h"
#include "core/result.h"
#include "core/textfile.h"
#include "models/binlib.h"
#include "models/lookup.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"

namespace {

// A library that names another by a relative name means the file beside it,
// as the circuit reader does; only a name found nowhere there goes along the
// library path.
std::string li_BesideLibrary(const char* libraryPath, const std::string& written) {
    char name[kPathSize];
    CopyTextBounded(name, written.c_str(), sizeof name);
    StripQuotedText(name);
    if (!name[0] || name[0] == '/' || !libraryPath) return written;
    std::string folder = libraryPath;
    const size_t slash = folder.rfind('/');
    if (slash == std::string::npos) return written;
    folder.resize(slash + 1);
    const std::string beside = folder + name;
    if (CheckFileExists(beside.c_str()) == 0) return beside;
    return written;
}


// Seconds by which an index may seem to lie in the future before the clock is
// doubted (file systems round times, clocks of file servers drift).
constexpr time_t kClockTolerance = 2;

// A Yes/No question box and its Yes button (the shell's box styles).
constexpr unsigned kYesNoQuestion = 0x04 | 0x20;
constexpr int kAnswerYes = 6;

constexpr const char kWriteIndexFailed[] = "Error occurred while trying to write index for file '%s'.";

// ---- the documents port ------------------------------------------------------------------

class NoLibraryDocuments final : public LibraryDocuments {
public:
    bool IsEdited(CircuitModels*, const char*) override { return false; }
    int Save(const char*) override { return kResultNotBuilt; }
    bool TakeChangedSinceIndex(const char*) override { return false; }
    bool IsCompiledCircuit(CircuitModels*, const char*, bool* unsaved) override {
        if (unsaved) *unsaved = false;
        return false;
    }
    int ReadCircuitPages(const char*, std::vector<std::string>*) override { return kResultNotBuilt; }
};

PortSlot<LibraryDocuments, NoLibraryDocuments> li_documents;

// ---- small helpers -------------------------------------------------------------------------

bool li_IsBlank(char c) { return c == ' ' || c == '\t'; }

// A modification time with the file system's full precision; false when the
// file cannot be examined.
bool li_ModTime(const char* path, timespec* out) {
    struct stat st;
    if (!path || stat(path, &st) != 0) return false;
    *out = st.st_mtim;
    return true;
}

bool li_Newer(const timespec& a, const timespec& b) {
    return a.tv_sec > b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec > b.tv_nsec);
}

// The keyword's length when the statement starts with it (without case) and
// the next character ends the word; 0 otherwise.
size_t li_Keyword(const char* text, size_t length, const char* keyword) {
    size_t n = std::strlen(keyword);
    if (length < n || CompareNoCaseN(text, keyword, n) != 0) return 0;
    if (length == n) return n;
    char next = text[n];
    return HasCharClass(next, CC_SPACE) || next == '(' || next == ';' ? n : 0;
}

// The first word after a keyword: [start, end) in the text.
void li_WordAfter(const char* text, size_t length, size_t from, size_t* start, size_t* end) {
    size_t p = from;
    while (p < length && li_IsBlank(text[p])) ++p;
    *start = p;
    while (p < length && !HasCharClass(text[p], CC_SPACE) && text[p] != '(') ++p;
    *end = p;
}

void li_PutByte(std::string& out, int value) { out.push_back(static_cast<char>(value)); }
void li_PutLong(std::string& out, int32_t value) {
    uint32_t v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void li_PutDouble(std::string& out, double value) {
    char bytes[8];
    std::memcpy(bytes, &value, 8);
    out.append(bytes, 8);
}
// Counted texts hold at most 32767 bytes: a longer name gets no record (no
// statement could name it), and no path is that long.
constexpr size_t kMaxIndexName = 32767;
void li_PutText(std::string& out, const char* text, size_t length) {
    if (length > kMaxIndexName) length = kMaxIndexName;
    uint16_t n = static_cast<uint16_t>(length);
    out.push_back(static_cast<char>(n & 0xFF));
    out.push_back(static_cast<char>(n >> 8));
    out.append(text, length);
}

// Reads a whole file into a string: 0 or a code (the path pending).
// Opens a regular file for reading; null for anything else. A library line
// may name a device or a pipe, which would never end or never open.
FILE* li_OpenRegular(const char* path) {
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        errno = EINVAL;
        return nullptr;
    }
    FILE* in = fdopen(fd, "rb");
    if (!in) close(fd);
    return in;
}

bool li_IsRegularFile(const char* path) {
    struct stat st;
    return path && stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

int li_ReadWholeFile(const char* path, std::string* out) {
    FILE* in = li_OpenRegular(path);
    if (!in) {
        int rc = errno == EINVAL ? kResultNotFormat : ErrnoToResult();
        SetPendingText(path);
        return rc;
    }
    out->clear();
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, in)) > 0) out->append(chunk, n);
    bool failed = std::ferror(in) != 0;
    std::fclose(in);
    if (failed) {
        SetPendingText(path);
        return kResultReadError;
    }
    return 0;
}

// The text of a library: the page of a window showing it, else the file.
int li_ReadLibraryText(const char* path, std::string* out) {
    TextSourceProvider* provider = GetTextSourceProvider();
    if (CDoc* document = provider ? provider->FindDocumentByPath(path) : nullptr) {
        int page = provider->GetTextPageIndex(document);
        PageText text;
        if (page >= 0 && provider->GetPageText(document, page, &text) && text.text) {
            out->assign(text.text, static_cast<size_t>(text.length > 0 ? text.length : 0));
            return 0;
        }
    }
    return li_ReadWholeFile(path, out);
}

bool li_IsBinaryLibrary(const char* path) {
    char extension[kPathSize];
    GetExtension(extension, path);
    return CompareNoCase(extension, ".lbr") == 0 && li_IsRegularFile(path) && IsModelLibraryFile(path);
}

// ---- the generator ----------------------------------------------------------------------------

struct li_Generator {
    explicit li_Generator(CircuitModels* circuit) : models(circuit) {}
    CircuitModels* models;
    std::string records;
    int32_t count = 0;

    // `time` is taken before the file is read, so that a change made while
    // it is read makes the index stale.
    void FileRecord(int kind, const char* path, time_t time) {
        li_PutByte(records, kind);
        li_PutLong(records, static_cast<int32_t>(time));
        li_PutText(records, path, std::strlen(path));
        li_PutByte(records, 0);
        ++count;
    }

    // A MOS model's binning data: the flag, and when set LEVEL and the ranges.
    void PutBinning(bool binned, int level, const double range[4]) {
        li_PutByte(records, binned ? 1 : 0);
        if (!binned) return;
        li_PutLong(records, level);
        for (int k = 0; k < 4; ++k) li_PutDouble(records, range[k]);
    }

    int BinaryLibrary(const char* path) {
        if (int rc = SaveOpenLibraryIfDirty(models, path)) return rc;
        time_t time = GetFileModTime(path);
        ModelLibrary library;
        if (int rc = LoadModelLibrary(library, path, true, false)) return rc;
        FileRecord(kIndexBinaryFile, path, time);
        for (LibraryModel* m = library.First(); m; m = ModelLibrary::Next(m)) {
            if (!m->Name[0]) continue;
            char upper[kLibraryNameSize];
            CopyUpper(upper, m->Name, sizeof upper);
            li_PutByte(records, kIndexModel);
            li_PutText(records, upper, std::strlen(upper));
            li_PutByte(records, m->ModelType);
            int base = BaseMosType(m->ModelType);
            if (base == kModelNmos || base == kModelPmos) {
                int idx[4];
                double range[4] = {0, 0, 0, 0};
                bool binned = BinningParamIndices(m->ModelType, idx);
                for (int k = 0; binned && k < 4; ++k) {
                    range[k] = m->Values[idx[k]];
                    if (IsUnsetValue(range[k])) binned = false;
                }
                PutBinning(binned, static_cast<int>(std::lround(m->Values[0])), range);
            }
            ++count;
        }
        return 0;
    }

    // One text (a library, or a page of a circuit file) of kind 1 or 2.
    int Text(const char* path, const std::string& text, int kind, int page, bool compiledCircuit) {
        LibraryTextScanner scanner(text.data(), static_cast<long>(text.size()));
        LibraryStatementSpan span;
        int depth = 0;
        while (scanner.Next(&span)) {
            const char* s = text.data() + span.position;
            size_t length = static_cast<size_t>(span.end - span.position);
            if (*s != '.') continue;
            if (span.position > INT32_MAX) {
                SetPendingText(path);
                return kResultBadFormat;
            }
            // The first line of the statement: what keywords and names are read from.
            const char* lineEnd = static_cast<const char*>(std::memchr(s, '\n', length));
            size_t firstLine = lineEnd ? static_cast<size_t>(lineEnd - s) : length;
            if (firstLine && s[firstLine - 1] == '\r') --firstLine;
            size_t n;
            if ((n = li_Keyword(s, firstLine, ".LIBRARY")) || (n = li_Keyword(s, firstLine, ".LIB"))) {
                std::string name(s + n, firstLine - n);
                // A ";" comment after an unquoted name is not part of it.
                size_t semicolon = name.find(';');
                if (semicolon != std::string::npos && name.find('"') > semicolon) name.resize(semicolon);
                name = li_BesideLibrary(path, name);
                int rc = AddLibraryFile(models, name.c_str(), 1, nullptr, compiledCircuit);
                if (rc) return rc;
            } else if ((n = li_Keyword(s, firstLine, ".MODEL"))) {
                if (depth > 0) continue;
                if (int rc = Model(path, std::string(s, length), n, kind, span, page)) return rc;
            } else if (li_Keyword(s, firstLine, ".ENDS")) {
                if (--depth < 0) return EndsOutsideSubckt(path, std::string(s, firstLine), span.line);
            } else if ((n = li_Keyword(s, firstLine, ".SUBCKT"))) {
                if (++depth != 1) continue;
                size_t a, b;
                li_WordAfter(s, firstLine, n, &a, &b);
                if (b - a > kMaxIndexName) continue;
                li_PutByte(records, kIndexSubcircuit);
                li_PutText(records, s + a, b - a);
                PutPlace(kind, span.position, span.line, page);
            } else if ((n = li_Keyword(s, firstLine, ".MACRO"))) {
                size_t a, b;
                li_WordAfter(s, firstLine, n, &a, &b);
                if (b - a > kMaxIndexName) continue;
                li_PutByte(records, kIndexMacro);
                li_PutText(records, s + a, b - a);
                // Where the macro's text begins, as found in the statement.
                PutPlace(kind, span.position + static_cast<long>(b), span.line, page);
            } else if (li_Keyword(s, firstLine, ".PARAM") || li_Keyword(s, firstLine, ".FUNC")) {
                if (depth > 0) continue;
                li_PutByte(records, kIndexParameters);
                PutPlace(kind, span.position, span.line, page);
            }
        }
        return 0;
    }

    void PutPlace(int kind, long position, int line, int page) {
        li_PutLong(records, static_cast<int32_t>(position));
        li_PutLong(records, line);
        if (kind == kIndexCircuitFile) li_PutLong(records, page);
        ++count;
    }

    int Model(const char* path, const std::string& statement, size_t keyword, int kind,
              const LibraryStatementSpan& span, int page) {
        ModelTextParts parts;
        SplitModelText(statement.c_str() + keyword, &parts);
        int type = parts.name[0] && parts.typeWord[0] ? FindModelTypeByName(parts.typeWord) : -1;
        if (type < 0) {
            // The statement reader says what is wrong with it.
            StatementSource source{kSourceTextLine, 1, span.line, page};
            int before = models->ModelStatements.Count;
            int rc = ParseModelStatement(models, statement.c_str(), source, 0, path);
            while (models->ModelStatements.Count > before)
                models->ModelStatements.Entries[--models->ModelStatements.Count].Free();
            return rc;
        }
        int base = BaseMosType(type);
        li_PutByte(records, kIndexModel);
        li_PutText(records, parts.name, std::strlen(parts.name));
        li_PutByte(records, base);
        if (base == kModelNmos || base == kModelPmos) {
            static const char* const kRangeNames[4] = {"LMIN", "LMAX", "WMIN", "WMAX"};
            double range[4] = {0, 0, 0, 0};
            bool binned = true;
            for (int k = 0; k < 4; ++k)
                if (!FindParamValueInText(statement.c_str(), kRangeNames[k], &range[k])) binned = false;
            double level = 0;
            if (!FindParamValueInText(statement.c_str(), "LEVEL", &level) || !std::isfinite(level)) level = 0;
            if (std::fabs(level) > INT32_MAX) level = 0;
            PutBinning(binned, static_cast<int>(std::lround(level)), range);
        }
        li_PutLong(records, static_cast<int32_t>(span.position));
        li_PutLong(records, span.line);
        if (kind == kIndexCircuitFile) li_PutLong(records, page);
        ++count;
        return 0;
    }

    int EndsOutsideSubckt(const char* path, const std::string& text, int line) {
        std::string lineText = std::to_string(line + 1);
        Reporter().Report(Message(kMsgEndsOutsideSubckt)
                              .Row("File:", path)
                              .Row("Text:", text.c_str())
                              .Row("Line:", lineText.c_str()));
        RecordLastMessage(kMsgEndsOutsideSubckt, GetMessageText(kMsgEndsOutsideSubckt));
        return kResultShown;
    }

    int File(const char* path, bool compiledCircuit) {
        StatusBar().SetStatusText(("Generating Library index for " + std::string(path) + ".").c_str());
        if (!li_IsRegularFile(path) && !FindDocumentByPath(path)) {
            SetPendingText(path);
            return CheckFileExists(path) == 0 ? kResultNotFormat : kResultFileNotFound;
        }
        if (li_IsBinaryLibrary(path)) return BinaryLibrary(path);
        if (int rc = SaveOpenLibraryIfDirty(models, path)) return rc;
        time_t time = GetFileModTime(path);
        if (IsCircuitLibraryFile(path)) {
            std::vector<std::string> pages;
            if (int rc = OpenLibraryDocuments().ReadCircuitPages(path, &pages)) {
                SetPendingText(path);
                return rc;
            }
            FileRecord(kIndexCircuitFile, path, time);
            for (size_t p = 0; p < pages.size(); ++p)
                if (int rc = Text(path, pages[p], kIndexCircuitFile, static_cast<int>(p), compiledCircuit)) return rc;
            return 0;
        }
        std::string text;
        if (int rc = li_ReadLibraryText(path, &text)) return rc;
        FileRecord(kIndexTextFile, path, time);
        return Text(path, text, kIndexTextFile, 0, compiledCircuit);
    }
};

// Writes the index: the version word -1 first, 7 once every record is in.
int li_WriteIndexFile(const std::string& indexPath, const li_Generator& generator) {
    // A stale index that cannot be written over (read-only) is replaced.
    unlink(indexPath.c_str());
    BinaryFile file;
    if (int rc = file.OpenWrite(indexPath.c_str())) return rc;
    file.WriteShort(kLibraryIndexWriting);
    file.WriteLong(0);
    file.Write(generator.records.data(), generator.records.size());
    if (!file.error && std::fflush(file.stream) != 0) file.error = ErrnoToResult();
    if (!file.error && std::fseek(file.stream, 0, SEEK_SET) != 0) file.error = ErrnoToResult();
    file.WriteShort(kLibraryIndexVersion);
    file.WriteLong(generator.count);
    int rc = file.error;
    if (std::fclose(file.stream) != 0 && !rc) rc = ErrnoToResult();
    file.stream = nullptr;
    if (rc) SetPendingText(indexPath.c_str());
    return rc;
}

void li_ReportWriteFailure(const char* libraryPath, int code) {
    char text[1024] = "";
    if (code && code != kResultShown) {
        int shown = code;
        FormatPendingMessage(text, sizeof text, &shown);
        UnescapePercent(text);
    }
    MessageRequest request = FormattedMessage(kWriteIndexFailed);
    request.Class('E').Args(libraryPath);
    if (text[0]) request.Row("Error:", text);
    Reporter().Report(request);
    char line[kPathSize + 128];
    FormatBounded(line, sizeof line, kWriteIndexFailed, libraryPath);
    RecordLastMessage(kResultWriteError, line);
}

// ---- reading an index -------------------------------------------------------------------------

// Walks the records of an index block within its bounds.
struct li_BlockReader {
    const char* data;
    int32_t size;
    int32_t pos = 0;
    bool bad = false;

    bool Skip(int32_t n) {
        if (bad || n < 0 || size - pos < n) return !(bad = true);
        pos += n;
        return true;
    }
    int32_t Long() {
        int32_t v = 0;
        if (bad || size - pos < 4) {
            bad = true;
            return 0;
        }
        std::memcpy(&v, data + pos, 4);
        pos += 4;
        return v;
    }
    int Byte() {
        if (bad || size - pos < 1) {
            bad = true;
            return 0;
        }
        return static_cast<unsigned char>(data[pos++]);
    }
    std::string Text() {
        if (bad || size - pos < 2) {
            bad = true;
            return std::string();
        }
        int16_t n;
        std::memcpy(&n, data + pos, 2);
        pos += 2;
        if (n < 0 || size - pos < n) {
            bad = true;
            return std::string();
        }
        std::string text(data + pos, static_cast<size_t>(n));
        pos += n;
        return text;
    }
};

struct li_FileRecord {
    int32_t time;
    std::string path;
};

// Walks a block, collecting its file records; false when it is damaged.
bool li_WalkBlock(const char* block, int32_t size, std::vector<li_FileRecord>* files) {
    li_BlockReader in{block, size};
    int32_t count = in.Long();
    if (in.bad || count < 0) return false;
    int fileKind = 0;
    for (int32_t r = 0; r < count; ++r) {
        int kind = in.Byte();
        if (in.bad) return false;
        if (kind != kIndexCircuitFile && kind != kIndexTextFile && kind != kIndexBinaryFile && fileKind == 0)
            return false;
        switch (kind) {
        case kIndexCircuitFile:
        case kIndexTextFile:
        case kIndexBinaryFile: {
            li_FileRecord file;
            file.time = in.Long();
            file.path = in.Text();
            in.Byte();
            if (in.bad || file.path.empty()) return false;
            if (files) files->push_back(std::move(file));
            fileKind = kind;
            break;
        }
        case kIndexModel: {
            in.Text();
            int type = in.Byte();
            if (type >= kModelTypeCount) return false;
            int base = BaseMosType(type);
            if ((base == kModelNmos || base == kModelPmos) && in.Byte() == 1) in.Skip(4 + 4 * 8);
            if (fileKind != kIndexBinaryFile) in.Skip(8);
            if (fileKind == kIndexCircuitFile) in.Skip(4);
            break;
        }
        case kIndexSubcircuit:
        case kIndexMacro:
            in.Text();
            if (fileKind == kIndexBinaryFile) return false;
            in.Skip(fileKind == kIndexCircuitFile ? 12 : 8);
            break;
        case kIndexParameters:
            if (fileKind == kIndexBinaryFile) return false;
            in.Skip(fileKind == kIndexCircuitFile ? 12 : 8);
            break;
        default: return false;
        }
        if (in.bad) return false;
    }
    // The block holds exactly the records its count announces.
    return in.pos == size;
}

// Reads an index file: its block when complete and well formed.
enum class li_Load { kOk, kUnreadable, kDamaged };
li_Load li_ReadIndexFile(const std::string& indexPath, std::string* block) {
    std::string bytes;
    if (li_ReadWholeFile(indexPath.c_str(), &bytes)) {
        ClearPendingMessage();
        return li_Load::kUnreadable;
    }
    if (bytes.size() < 6 || bytes.size() - 2 > static_cast<size_t>(INT32_MAX)) return li_Load::kDamaged;
    int16_t version;
    std::memcpy(&version, bytes.data(), 2);
    if (version != kLibraryIndexVersion) return li_Load::kDamaged;
    block->assign(bytes, 2, std::string::npos);
    if (!IsValidIndexBlock(block->data(), static_cast<int32_t>(block->size()))) return li_Load::kDamaged;
    return li_Load::kOk;
}

// Whether the index must be built again before it is read.
bool li_IndexIsStale(const char* libraryPath, const std::string& indexPath) {
    timespec library, index;
    if (!li_ModTime(indexPath.c_str(), &index)) return true;
    // An index from the future: the clock was wrong when it was written, so its
    // age says nothing.
    if (index.tv_sec > std::time(nullptr) + kClockTolerance) return true;
    if (!li_ModTime(libraryPath, &library)) return true;
    return li_Newer(library, index);
}

// The check of the files an index names: the first is the library itself,
// edited windows are saved first, and no file changed since it was indexed.
// 0 and *fresh, or the code of a declined or failed save.
int li_CheckFiles(CircuitModels* models, const char* libraryPath, const std::string& indexPath,
                  const std::vector<li_FileRecord>& files, bool* fresh) {
    *fresh = !files.empty() && files.front().path == libraryPath;
    timespec index{};
    bool indexTime = li_ModTime(indexPath.c_str(), &index);
    for (const li_FileRecord& file : files) {
        if (int rc = SaveOpenLibraryIfDirty(models, file.path.c_str())) return rc;
        timespec now{};
        if (!li_ModTime(file.path.c_str(), &now)) {
            // A named file that is gone: only the library itself must exist
            // on disk (an open window may stand for it).
            if (file.path == libraryPath && !FindDocumentByPath(libraryPath)) *fresh = false;
            continue;
        }
        if (static_cast<int32_t>(now.tv_sec) != file.time) *fresh = false;
        if (!indexTime || li_Newer(now, index)) *fresh = false;
    }
    return 0;
}

// ---- the statement reader ---------------------------------------------------------------------

// Opens a library text at a place: a page of a circuit file, the window
// showing the library, or the file. 0 or a code (the path pending).
int li_OpenAt(TextFile& stream, const char* path, long position, int line, int page) {
    if (IsCircuitLibraryFile(path)) return LibraryTextReader().OpenCircuitText(stream, path, position, line, page);
    if (int rc = stream.OpenSource(path, line, position, -2)) return rc;
    if (stream.document) {
        stream.AttachRange(line, position, 0, page < 0 ? 0 : page);
    } else {
        stream.Seek(position);
        stream.lineCounter = line;
    }
    return 0;
}

class li_TextReader final : public LibraryTexts {
public:
    int ReadLibraryModel(CircuitModels* models, int type, const char* name, const char* path, long position, int line,
                         int page, int* error) override {
        if (error) *error = 0;
        std::string statement;
        if (int rc = Read(path, position, line, page, &statement)) {
            // Nothing at that place: the model is simply not there.
            if (rc == kResultReadError) return -1;
            SetPendingText(path);
            int shown = ReportStatementMessage(models, 1, nullptr, nullptr, rc);
            if (error) *error = shown;
            return -1;
        }
        const char* s = statement.c_str();
        size_t keyword = li_Keyword(s, statement.size(), ".MODEL");
        if (!keyword) return -1;
        ModelTextParts parts;
        SplitModelText(s + keyword, &parts);
        int found = parts.typeWord[0] ? FindModelTypeByName(parts.typeWord) : -1;
        if (found < 0 || BaseMosType(found) != BaseMosType(type) || CompareNoCase(parts.name, name) != 0) return -1;
        StatementSource source{kSourceTextLine, 1, line, page};
        int saved = LibraryTextMode;
        LibraryTextMode = 1;
        int rc = ParseModelStatement(models, s, source, 0, path);
        LibraryTextMode = saved;
        if (rc) {
            if (error) *error = rc;
            return -1;
        }
        return models->ModelStatements.Count - 1;
    }

    bool ReadMacroText(const char* path, long position, int line, int page, char* buffer, size_t size,
                       int* error) override {
        if (error) *error = 0;
        std::string text;
        int rc = Read(path, position, line, page, &text);
        if (rc == kResultReadError) return false;
        if (rc) {
            SetPendingText(path);
            Reporter().Report(Message(rc).Args(path));
            RecordLastMessage(rc, path);
            if (error) *error = kResultShown;
            return false;
        }
        if (!buffer || !size) return false;
        CopyTextBounded(buffer, text.c_str(), size);
        TrimWhitespace(buffer);
        return true;
    }

    int OpenCircuitText(TextFile& stream, const char* path, long start, int line, int page) override {
        std::vector<std::string> pages;
        if (int rc = OpenLibraryDocuments().ReadCircuitPages(path, &pages)) {
            SetPendingText(path);
            return rc;
        }
        if (page < 0 || static_cast<size_t>(page) >= pages.size()) {
            SetPendingText(path);
            return kResultBadFormat;
        }
        const std::string& text = pages[static_cast<size_t>(page)];
        char* copy = static_cast<char*>(MemAlloc(text.size() + 1));
        if (!copy) return kResultNoMemory;
        std::memcpy(copy, text.data(), text.size());
        copy[text.size()] = 0;
        stream.Close();
        stream.Reset();
        stream.AttachMemory(copy, static_cast<long>(text.size()), true);
        stream.pageIndex = page;
        stream.lineCounter = line;
        stream.Seek(start);
        return 0;
    }

    bool IsCircuitFile(const char* path) override { return IsCircuitLibraryFile(path); }

private:
    // The statement at a place: 0, 15007 when nothing is there, or the open's
    // code (never 15007).
    static int Read(const char* path, long position, int line, int page, std::string* out) {
        out->clear();
        TextFile stream;
        int rc = li_OpenAt(stream, path, position, line, page);
        if (!rc) rc = ReadLibraryStatement(stream, out);
        stream.Close();
        return rc;
    }
};

class li_IndexFiles final : public LibraryIndexes {
public:
    int LoadIndex(CircuitModels* models, LibraryEntry& entry) override { return LoadLibraryIndex(models, entry); }
    // The library check has no owner yet: every indexed file passes.
    void CheckLibraryFile(const char*) override {}
};

li_TextReader li_textReader;
li_IndexFiles li_indexFiles;

const MessageRow kLibraryIndexMessageRows[] = {
    {kMsgIndexSaveEdited,
     "%WFile %s has been edited and must be saved before generating an Index file.\nDo you want to save the file ?"},
    {kMsgEndsOutsideSubckt, "%E.Ends statement Found outside of a .Subckt."},
};

}  // namespace

// ---- paths --------------------------------------------------------------------------------------

std::string InxFolderPath(const char* libraryPath) {
    std::string name;
    std::string counts;
    int slashes = 0;
    for (const char* c = libraryPath ? libraryPath : ""; *c; ++c) {
        if (*c == '/') {
            ++slashes;
            name += '_';
        } else {
            if (*c == '_') counts += std::to_string(slashes);
            name += *c;
        }
    }
    char folder[kPathSize];
    MakeHomePath(folder, "inx");
    return std::string(folder) + "/" + name + counts + ".inx";
}

std::string LibraryIndexPath(const char* libraryPath) {
    std::string path = libraryPath ? libraryPath : "";
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash ? slash : 1);
    // Asked for the user the program runs as, which is who writes the index.
    if (faccessat(AT_FDCWD, folder.c_str(), W_OK, AT_EACCESS) != 0) return InxFolderPath(libraryPath);
    std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = file.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        std::string extension = file.substr(dot + 1);
        file.resize(dot);
        if (!extension.empty()) file += "_" + extension;
    }
    return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + file + ".INX";
}

// ---- statements ---------------------------------------------------------------------------------

long LibraryTextScanner::EndOfLine() {
    const void* found = std::memchr(text_ + pos_, '\n', static_cast<size_t>(length_ - pos_));
    long eol = found ? static_cast<long>(static_cast<const char*>(found) - text_) : length_;
    long contentEnd = eol;
    if (contentEnd > pos_ && text_[contentEnd - 1] == '\r') --contentEnd;
    if (found) {
        pos_ = eol + 1;
        ++line_;
    } else {
        pos_ = length_;
    }
    return contentEnd;
}

bool LibraryTextScanner::Next(LibraryStatementSpan* out) {
    while (pos_ < length_) {
        long start = pos_;
        int line = line_;
        long end = EndOfLine();
        long first = start;
        while (first < end && li_IsBlank(text_[first])) ++first;
        if (first == end || text_[first] == '*' || text_[first] == '+') continue;
        out->position = first;
        out->line = line;
        out->end = end;
        // Continuation lines; comment and empty lines between them belong to
        // the statement only when a continuation line follows.
        long resume = -1;
        int resumeLine = 0;
        while (pos_ < length_) {
            long lineStart = pos_;
            int lineNumber = line_;
            long lineEnd = EndOfLine();
            long f = lineStart;
            while (f < lineEnd && li_IsBlank(text_[f])) ++f;
            if (f < lineEnd && text_[f] == '+') {
                out->end = lineEnd;
                resume = -1;
                continue;
            }
            if (f == lineEnd || text_[f] == '*') {
                if (resume < 0) {
                    resume = lineStart;
                    resumeLine = lineNumber;
                }
                continue;
            }
            pos_ = lineStart;
            line_ = lineNumber;
            break;
        }
        if (resume >= 0) {
            pos_ = resume;
            line_ = resumeLine;
        }
        return true;
    }
    return false;
}

int ReadLibraryStatement(TextFile& stream, std::string* out) {
    out->clear();
    char* field = nullptr;
    size_t capacity = 0, length = 0;
    int rc = stream.ReadGrowingLine(&field, &capacity, &length);
    if (rc) {
        MemFree(field);
        return rc;
    }
    const char* first = field;
    while (li_IsBlank(*first)) ++first;
    out->assign(first);
    // Comment lines count only when a continuation line follows them.
    std::string held;
    for (;;) {
        long before = stream.Tell();
        int lineBefore = stream.lineCounter;
        if (stream.ReadGrowingLine(&field, &capacity, &length)) break;
        const char* f = field;
        while (li_IsBlank(*f)) ++f;
        if (*f == '+') {
            *out += held;
            held.clear();
            *out += "\n";
            *out += field;
        } else if (!*f || *f == '*') {
            held += "\n";
            held += field;
        } else {
            stream.Seek(before);
            stream.lineCounter = lineBefore;
            break;
        }
    }
    MemFree(field);
    return 0;
}

bool FindParamValueInText(const char* modelText, const char* name, double* value) {
    if (!modelText || !name || !*name || !value) return false;
    size_t n = std::strlen(name);
    for (const char* p = modelText; (p = FindTextNoCase(p, name)) != nullptr; p += n) {
        // A whole parameter name: not the end of a longer one ("+" of a
        // continuation line may stand right before it).
        if (p > modelText && (HasCharClass(p[-1], CC_IDENT) || p[-1] == '.' || p[-1] == '$')) continue;
        const char* q = p + n;
        while (li_IsBlank(*q)) ++q;
        if (*q != '=') continue;
        ++q;
        while (li_IsBlank(*q)) ++q;
        const char* end = q;
        if (*q == '{' || *q == '(') {
            end = *q == '{' ? FindClosingBrace(q) : FindClosingParen(q);
        } else {
            while (*end && !HasCharClass(*end, CC_SPACE) && *end != ')' && *end != ',') ++end;
        }
        std::string field(q, static_cast<size_t>(end - q));
        double v = 0;
        int rc = EvaluateModelValueText(field.c_str(), &v, nullptr);
        ClearPendingMessage();
        if (rc) return false;
        *value = v;
        return true;
    }
    return false;
}

bool IsCircuitLibraryFile(const char* path) {
    FILE* in = path ? li_OpenRegular(path) : nullptr;
    if (!in) return false;
    char head[256];
    size_t n = std::fread(head, 1, sizeof head - 1, in);
    std::fclose(in);
    head[n] = 0;
    // "[Main]" first, then "FileType=CIR" among the lines of that section.
    const char* p = head;
    while (HasCharClass(*p, CC_SPACE)) ++p;
    if (CompareNoCaseN(p, "[Main]", 6) != 0) return false;
    for (p += 6; *p && *p != '[';) {
        while (HasCharClass(*p, CC_SPACE)) ++p;
        if (CompareNoCaseN(p, "FileType", 8) == 0) {
            const char* q = p + 8;
            while (li_IsBlank(*q)) ++q;
            if (*q++ != '=') return false;
            while (li_IsBlank(*q)) ++q;
            return CompareNoCaseN(q, "CIR", 3) == 0 && (q[3] == 0 || HasCharClass(q[3], CC_SPACE));
        }
        while (*p && *p != '\n') ++p;
    }
    return false;
}

// ---- documents ----------------------------------------------------------------------------------

LibraryDocuments& OpenLibraryDocuments() { return li_documents.Get(); }

LibraryDocuments* InstallLibraryDocuments(LibraryDocuments* port) { return li_documents.Install(port); }

int SaveOpenLibraryIfDirty(CircuitModels* models, const char* path) {
    if (!path || !OpenLibraryDocuments().IsEdited(models, path)) return 0;
    int answer = Reporter().Report(Message(kMsgIndexSaveEdited).Args(path).Style(kYesNoQuestion));
    if (answer != kAnswerYes) return kResultShown;
    return OpenLibraryDocuments().Save(path);
}

// ---- generation ---------------------------------------------------------------------------------

int GenerateLibraryIndex(CircuitModels* models, const char* libraryPath) {
    if (!models || !libraryPath || !*libraryPath) return kResultMissingParam;
    std::string library = libraryPath;
    std::string indexPath = LibraryIndexPath(library.c_str());
    if (CheckFileExists(library.c_str()) != 0 && !FindDocumentByPath(library.c_str())) {
        SetPendingText(library.c_str());
        return ReportStatementMessage(models, 1, nullptr, nullptr, kResultFileNotFound);
    }
    std::string savedStatus = StatusBar().StatusText();
    bool unsaved = false;
    bool compiledCircuit = OpenLibraryDocuments().IsCompiledCircuit(models, library.c_str(), &unsaved);

    li_Generator generator(models);
    ClearLibraryList(models, 1);
    int rc = AddLibraryFile(models, library.c_str(), 1, nullptr, false);
    // The work list grows while it is walked; entries are read by index.
    for (int i = 0; !rc && i < models->LibraryLists[1].Count; ++i) {
        std::string path = models->LibraryLists[1].Entries[i].Path;
        rc = generator.File(path.c_str(), compiledCircuit);
    }
    if (!rc && indexPath == InxFolderPath(library.c_str())) {
        char folder[kPathSize];
        MakeHomePath(folder, "inx");
        if (mkdir(folder, 0777) != 0 && errno != EEXIST) {
            rc = ErrnoToResult();
            SetPendingText(folder);
        }
    }
    if (!rc) rc = li_WriteIndexFile(indexPath, generator);
    if (rc) {
        li_ReportWriteFailure(library.c_str(), rc);
        unlink(indexPath.c_str());
        rc = kResultShown;
    }
    ClearLibraryList(models, 1);
    StatusBar().SetStatusText(savedStatus.c_str());
    return rc;
}

bool IsValidIndexBlock(const char* block, int32_t size) {
    if (!block || size < 4) return false;
    return li_WalkBlock(block, size, nullptr);
}

int LoadLibraryIndex(CircuitModels* models, LibraryEntry& entry) {
    if (!models || !entry.Path || !*entry.Path) return 0;
    const std::string library = entry.Path;
    bool rebuilt = false;
    for (;;) {
        const std::string indexPath = LibraryIndexPath(library.c_str());
        bool stale = false;
        if (!rebuilt) {
            stale = OpenLibraryDocuments().TakeChangedSinceIndex(library.c_str());
            if (li_IndexIsStale(library.c_str(), indexPath)) stale = true;
        }
        std::string block;
        if (!stale && li_ReadIndexFile(indexPath, &block) != li_Load::kOk) {
            if (!rebuilt) {
                stale = true;
            } else {
                // Just written and still not readable: give up on this library.
                unlink(indexPath.c_str());
                SetPendingText(indexPath.c_str());
                return ReportStatementMessage(models, 1, nullptr, nullptr, kResultFileNotFound);
            }
        }
        if (!stale) {
            std::vector<li_FileRecord> files;
            li_WalkBlock(block.data(), static_cast<int32_t>(block.size()), &files);
            bool fresh = true;
            if (int rc = li_CheckFiles(models, library.c_str(), indexPath, files, &fresh)) return rc;
            // A second build in one search is trusted: a file dated in the
            // future would otherwise be rebuilt for ever.
            if (!fresh && !rebuilt) stale = true;
        }
        if (stale) {
            if (int rc = GenerateLibraryIndex(models, library.c_str())) return rc;
            rebuilt = true;
            continue;
        }
        char* contents = static_cast<char*>(MemAlloc(block.size() + 1));
        if (!contents) return ReportStatementMessage(models, 1, nullptr, nullptr, kResultNoMemory);
        std::memcpy(contents, block.data(), block.size());
        MemFree(entry.Index);
        entry.Index = contents;
        entry.IndexSize = static_cast<int32_t>(block.size());
        bool unsaved = false;
        // The circuit's own unsaved text must not leave an index behind.
        if (OpenLibraryDocuments().IsCompiledCircuit(models, library.c_str(), &unsaved) && unsaved)
            unlink(indexPath.c_str());
        return 0;
    }
}

// ---- start-up ---------------------------------------------------------------------------------

void InstallModelLibraryServices() {
    InstallLibraryIndexes(&li_indexFiles);
    InstallLibraryTexts(&li_textReader);
}

void RegisterLibraryIndexMessages() {
    RegisterMessages(kLibraryIndexMessageRows,
                     static_cast<int>(sizeof kLibraryIndexMessageRows / sizeof kLibraryIndexMessageRows[0]));
}
