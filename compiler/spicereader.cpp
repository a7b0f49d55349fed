#include "compiler/spicereader.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "compiler/analysisstmts.h"
#include "compiler/defines.h"
#include "compiler/messages.h"
#include "compiler/outputstmts.h"
#include "compiler/session.h"
#include "compiler/spicedevices.h"
#include "compiler/spicetables.h"
#include "compiler/statements.h"
#include "compiler/support.h"
#include "core/chars.h"
#include "core/desktop.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/paths.h"
#include "core/properties.h"
#include "core/result.h"
#include "document/ctdoc.h"
#include "models/lookup.h"
#include "models/modelstmt.h"
#include "shell/document.h"
#include "shell/preferences.h"

namespace {

constexpr int kSrMsgUnknownCommand = 10905;
constexpr int kSrMsgTooManyIncludes = 10907;
constexpr int kSrMsgEndsOutside = 10931;
constexpr int kSrMsgMissingEnds = 10918;
constexpr int kSrMsgMissingQuotes = 15047;

// clang-format off
const MessageRow kSrMessageRows[] = {
    {10905, "%EUnknown command."},
    {10907, "%EToo many .includes."},
    {10908, "%EMissing nodes."},
    {10931, "%E.Ends statement Found outside of a .Subckt."},
    {11961, "%W.SAVE is not needed: every quantity a run uses is kept."},
    {15047, "%EMissing Quotes in %s."},
};
// clang-format on

constexpr char kExtensionTag[] = ";$TWE";
constexpr size_t kExtensionTagLength = sizeof kExtensionTag - 1;
constexpr char kDialectKey[] = ";$SpiceType=";
// The trailer of a text file is a handful of ";$" lines at its end.
constexpr int kTrailerLinesSearched = 32;

bool sr_IsBlank(char c) { return c == ' ' || (c >= 9 && c <= 13); }

bool sr_StartsWithTag(const char* text, long available) {
    return available >= static_cast<long>(kExtensionTagLength) &&
           CompareNoCaseN(text, kExtensionTag, kExtensionTagLength) == 0;
}

// Reads the rest of a disk file into memory, so that statements can be joined
// by looking ahead.
int sr_LoadStream(TextFile& source) {
    if (source.buffer || !source.stream) return 0;
    const long here = std::ftell(source.stream);
    std::string bytes;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, source.stream)) > 0) bytes.append(chunk, got);
    char* block = static_cast<char*>(MemAlloc(bytes.size() + 1));
    if (!block) return kResultNoMemory;
    std::memcpy(block, bytes.data(), bytes.size());
    block[bytes.size()] = 0;
    source.AttachMemory(block, static_cast<long>(bytes.size()), true);
    source.bufferBase = here < 0 ? 0 : here;
    source.readPosition = 0;
    return 0;
}

int sr_CountLines(const TextFile& source) {
    if (!source.buffer) return 0;
    int lines = 1;
    for (long i = 0; i < source.bufferLength; ++i)
        if (source.buffer[i] == '\n') ++lines;
    return lines;
}

void sr_TrimTrailing(std::string& text) {
    size_t end = text.size();
    while (end > 0 && sr_IsBlank(text[end - 1])) --end;
    text.resize(end);
}

bool sr_FileExists(const std::string& path) {
    struct stat info;
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

void RegisterSpiceReaderMessages() {
    RegisterMessages(kSrMessageRows, static_cast<int>(sizeof(kSrMessageRows) / sizeof(kSrMessageRows[0])));
}

// ---- the reader state ----------------------------------------------------------------------------

SpiceReaderState::~SpiceReaderState() { CloseAll(); }

void SpiceReaderState::CloseAll() {
    for (int i = kMaxSpiceSources - 1; i >= 0; --i) {
        SpiceSource& source = sources[static_cast<size_t>(i)];
        if (source.file.mode != TextFile::kClosed || source.file.buffer) source.file.Close();
        source.name.clear();
        source.totalLines = 0;
    }
    top = -1;
}

SpiceReaderState* GetSpiceReader(CCTDoc* document) {
    CompileSession* session = GetCompileSession(document);
    return session ? &session->reader : nullptr;
}

int ResetSpiceReader(CCTDoc* document) {
    SpiceReaderState* reader = GetSpiceReader(document);
    if (!reader) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    reader->CloseAll();
    reader->words.clear();
    reader->definitionCounter = 1;
    reader->largestNode = 0;
    reader->loadOperatingPoint = false;
    // Every node of a text circuit comes from its text: the names of the last
    // compile would give stale numbers.
    if (document->Kind() == kDocText) {
        document->build.nodeNames.clear();
        GetCompileSession(document)->nodes.Clear();
    }
    return 0;
}

void ReleaseSpiceReader(CCTDoc* document) {
    CompileSession* session = FindCompileSession(document);
    if (!session) return;
    SpiceReaderState& reader = session->reader;
    reader.CloseAll();
    // One long statement must not hold on to its memory.
    for (std::string& word : reader.words)
        if (word.capacity() > 100) std::string().swap(word);
    reader.words.clear();
}

int LoadSpiceSource(TextFile& source) { return sr_LoadStream(source); }

// ---- logical lines -------------------------------------------------------------------------------

int ReadSpiceLine(TextFile& source, std::string& out, int flags) {
    out.clear();
    if (!source.buffer && source.stream && sr_LoadStream(source)) {
        source.Close();
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    const char* text = source.buffer;
    const long length = source.bufferLength;
    long position = source.readPosition;
    if (!text || position >= length) return kResultEndOfSpiceText;

    source.statementLine = source.lineCounter;
    while (position < length && (text[position] == ' ' || text[position] == '\t')) ++position;
    const long start = position;
    const bool commentStatement = position < length && (text[position] == ';' || text[position] == '*') &&
                                  !sr_StartsWithTag(text + position, length - position);
    // A run of comment or empty lines after the statement, which flag 0x08
    // leaves to the next read.
    const bool cutTrailingRun = (flags & kSpiceLineNoTrailingComments) && !commentStatement;
    long runStart = -1;
    int runLine = 0;
    long end = length;
    for (long i = start; i < length; ++i) {
        if (text[i] != '\n') continue;
        ++source.lineCounter;
        long next = i + 1;
        while (next < length && (text[next] == ' ' || text[next] == '\t')) ++next;
        if (next >= length) break;
        const char c = text[next];
        const bool joins = c == '\r' || c == '\n' || c == '+' || c == ';' || c == '*';
        if (!joins) {
            end = next;
            break;
        }
        if (cutTrailingRun) {
            if (c == '+') {
                runStart = -1;
            } else if (runStart < 0) {
                runStart = i + 1;
                runLine = source.lineCounter;
            }
        }
        i = next - 1;
    }
    if (runStart > start) {
        end = runStart;
        source.lineCounter = runLine;
    }
    source.readPosition = end;
    if ((flags & kSpiceLineDotOnly) && (start >= length || text[start] != '.')) return 0;

    out.assign(text + start, static_cast<size_t>(end - start));
    for (char& c : out)
        if (c == '\r') c = ' ';
    const bool raw = (flags & kSpiceLineRaw) != 0;
    NormalizeStatementText(out.data(), out.size(), raw);
    if (!(flags & kSpiceLineKeepTrailing)) sr_TrimTrailing(out);
    if (raw) return 0;

    // A .WARNING keeps the case of its message.
    const size_t lead = out.find_first_not_of(" \t\r\n\v\f");
    size_t upperEnd = out.size();
    if (lead != std::string::npos && MatchDotKeyword(out.c_str() + lead, kDotWarning)) upperEnd = lead + 8;
    for (size_t i = 0; i < upperEnd && i < out.size(); ++i)
        out[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[i])));
    for (char& c : out)
        if (sr_IsBlank(c)) c = ' ';
    const size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos) {
        out.clear();
        return 0;
    }
    out.erase(0, first);
    if (!(flags & kSpiceLineKeepTrailing)) sr_TrimTrailing(out);
    return 0;
}

void DetectSpiceDialect(TextFile& source) {
    int dialect = kSpiceDialectNone;
    if (auto* document = dynamic_cast<CCTDoc*>(source.document)) {
        dialect = document->dialect;
    } else if (!source.document) {
        if (!source.buffer && source.stream && sr_LoadStream(source)) return;
        // The trailer is a group of ";$" lines at the end; its key may sit on
        // any of them, so the last lines are searched, not a fixed byte count.
        long lineEnd = source.bufferLength;
        for (int line = 0; line < kTrailerLinesSearched && lineEnd > 0 && source.buffer; ++line) {
            long lineStart = lineEnd;
            while (lineStart > 0 && source.buffer[lineStart - 1] != '\n') --lineStart;
            const std::string text(source.buffer + lineStart, static_cast<size_t>(lineEnd - lineStart));
            const size_t lead = text.find_first_not_of(" \t");
            if (lead != std::string::npos &&
                CompareNoCaseN(text.c_str() + lead, kDialectKey, sizeof kDialectKey - 1) == 0) {
                std::string value = text.substr(lead + sizeof kDialectKey - 1);
                value.resize(value.find_first_of("\r\n") == std::string::npos ? value.size()
                                                                              : value.find_first_of("\r\n"));
                const size_t from = value.find_first_not_of(' ');
                value = from == std::string::npos ? "" : value.substr(from);
                sr_TrimTrailing(value);
                dialect = ParseSpiceDialect(value.c_str());
                break;
            }
            lineEnd = lineStart > 0 ? lineStart - 1 : 0;
        }
    }
    if (dialect == kSpiceDialectNone || dialect == 0) {
        dialect = Prefs().spiceType;
        if (dialect == kSpiceDialectNone || dialect == 0) dialect = kSpiceDialectAmbiguous;
    }
    source.spiceDialect = dialect;
}

// ---- words -----------------------------------------------------------------------------------------

void SplitStatementWords(const char* statement, std::vector<std::string>* words) {
    words->clear();
    const char* p = statement ? statement : "";
    while (*p) {
        while (sr_IsBlank(*p)) ++p;
        if (!*p) break;
        const char* start = p;
        if (*p == '{') {
            p = SkipBracketGroup(p, '{', '}');
        } else if (*p == '"') {
            ++p;
            while (*p && *p != '"') ++p;
            if (*p) ++p;
        } else if (IsSpiceWordChar(*p)) {
            while (IsSpiceWordChar(*p)) ++p;
        } else {
            ++p;
        }
        words->emplace_back(start, p);
    }
}

// ---- word readers ----------------------------------------------------------------------------------

namespace {

// Blanks, comments and continuation marks, line ends included.
const char* sr_SkipStatementBlanks(const char* p) {
    for (;;) {
        p = SkipSpiceBlanks(p, true);
        if (!sr_IsBlank(*p)) return p;
        ++p;
    }
}

}  // namespace

std::string ReadFirstWord(const char*& cursor) {
    cursor = sr_SkipStatementBlanks(cursor);
    const char* start = cursor;
    while (IsSpiceWordChar(*cursor)) ++cursor;
    return std::string(start, cursor);
}

std::string ReadWordOrGroup(const char*& cursor) {
    cursor = sr_SkipStatementBlanks(cursor);
    if (*cursor != '{') return ReadFirstWord(cursor);
    const char* start = cursor;
    cursor = SkipBracketGroup(cursor, '{', '}');
    return std::string(start, cursor);
}

std::vector<std::string> ReadWords(int count, const char*& cursor) {
    std::vector<std::string> words;
    words.push_back(ReadFirstWord(cursor));
    for (int i = 0; i < count; ++i) {
        std::string word = ReadFirstWord(cursor);
        if (word.empty()) break;
        words.push_back(std::move(word));
    }
    return words;
}

int ReadBraceGroup(const char*& cursor, std::string* out, int scope) {
    out->clear();
    const char* p = cursor;
    p = sr_SkipStatementBlanks(p);
    if (*p != '{') return ReportCompilerMessage(nullptr, scope, nullptr, 11900, "{");
    const char* start = p;
    bool unclosed = false;
    p = SkipBracketGroup(p, '{', '}', &unclosed);
    if (unclosed) return ReportCompilerMessage(nullptr, scope, nullptr, 11900, "}");
    out->assign(start, p);
    cursor = p;
    return 0;
}

void BlankSpiceText(std::string& text, bool statementMode) {
    const char* base = text.c_str();
    for (size_t i = 0; i < text.size();) {
        if (!statementMode) {
            if (sr_IsBlank(text[i])) text[i] = ' ';
            ++i;
            continue;
        }
        const size_t skipped = static_cast<size_t>(sr_SkipStatementBlanks(base + i) - (base + i));
        if (!skipped) {
            ++i;
            continue;
        }
        for (size_t k = i; k < i + skipped; ++k) text[k] = ' ';
        i += skipped;
    }
}

// ---- sources and locations ------------------------------------------------------------------------

void RecordSpiceSourceLocation(SpiceStatementContext& context) {
    SourceLocation& location = CompileErrorLocation();
    if (location.kind != 0) return;
    location.kind = kLocationText;
    location.position = context.line;
    location.page = context.page;
    location.lineSwitch = 0;
    location.document = context.fromInclude ? nullptr : context.document;
    CopyTextBounded(location.path, context.fileName.c_str(), sizeof location.path);
}

int ParseFileArgument(const char* statement, std::string* name, int* pathKind) {
    name->clear();
    if (pathKind) *pathKind = -1;
    const char* p = statement ? statement : "";
    while (sr_IsBlank(*p)) ++p;
    const char* keyword = p;
    while (*p && !sr_IsBlank(*p)) ++p;
    const std::string word(keyword, p);
    if (CompareNoCase(word.c_str(), ".PATH") == 0) {
        while (sr_IsBlank(*p)) ++p;
        const char* kindStart = p;
        while (*p && !sr_IsBlank(*p)) ++p;
        const std::string kind(kindStart, p);
        int found = -1;
        if (CompareNoCase(kind.c_str(), "DATA") == 0) found = 0;
        if (CompareNoCase(kind.c_str(), "LIB") == 0 || CompareNoCase(kind.c_str(), "LIBRARY") == 0) found = 1;
        if (CompareNoCase(kind.c_str(), "PIC") == 0 || CompareNoCase(kind.c_str(), "PICTURE") == 0) found = 2;
        if (pathKind) *pathKind = found;
    }
    std::string rest(p);
    auto trim = [](std::string& text) {
        const size_t first = text.find_first_not_of(" \t\r\n\v\f");
        if (first == std::string::npos) {
            text.clear();
            return;
        }
        text.erase(0, first);
        sr_TrimTrailing(text);
    };
    trim(rest);
    const bool opens = !rest.empty() && rest.front() == '"';
    const bool closes = rest.size() > 1 && rest.back() == '"';
    if (opens != closes || (rest.size() == 1 && opens)) {
        SetPendingText(statement);
        return kSrMsgMissingQuotes;
    }
    if (opens) {
        rest = rest.substr(1, rest.size() - 2);
        trim(rest);
    }
    *name = rest;
    return 0;
}

namespace {

// The path spelled as on disk: statements reach the reader upper-cased, while
// names here are case-sensitive, so every folder and the file name are matched
// without case where the spelling given does not exist. The path itself when
// some part matches nothing.
std::string sr_MatchFileCase(const std::string& path) {
    if (path.empty() || sr_FileExists(path)) return path;
    std::string found = path[0] == '/' ? "/" : "";
    size_t at = path[0] == '/' ? 1 : 0;
    while (at <= path.size()) {
        size_t next = path.find('/', at);
        if (next == std::string::npos) next = path.size();
        const std::string part = path.substr(at, next - at);
        at = next + 1;
        if (part.empty()) continue;
        const std::string exact = found + part;
        struct stat info {};
        if (::stat(exact.c_str(), &info) == 0) {
            found = next < path.size() ? exact + "/" : exact;
            continue;
        }
        DIR* listing = ::opendir(found.empty() ? "." : found.c_str());
        if (!listing) return path;
        std::string match;
        while (dirent* entry = ::readdir(listing)) {
            if (::strcasecmp(entry->d_name, part.c_str()) == 0) {
                match = entry->d_name;
                break;
            }
        }
        ::closedir(listing);
        if (match.empty()) return path;
        found += next < path.size() ? match + "/" : match;
    }
    return sr_FileExists(found) ? found : path;
}

// The name of an include file as a full path: next to the file that includes
// it first, then along the library search path.
std::string sr_ResolveIncludeName(const std::string& name, const std::string& includer) {
    if (name.empty()) return name;
    if (name[0] == '/') return sr_MatchFileCase(name);
    const size_t slash = includer.rfind('/');
    if (slash != std::string::npos) {
        const std::string beside = sr_MatchFileCase(includer.substr(0, slash + 1) + name);
        if (sr_FileExists(beside)) return beside;
    }
    char buffer[kPathSize];
    CopyTextBounded(buffer, name.c_str(), sizeof buffer);
    if (FindFileOnPaths(buffer, kPathLibrary) == 0) return buffer;
    char folder[kPathSize];
    for (int index = 0; GetPathListEntry(kPathLibrary, folder, index); ++index) {
        const std::string candidate = sr_MatchFileCase(std::string(folder) + "/" + name);
        if (sr_FileExists(candidate)) return candidate;
    }
    return name;
}

std::string sr_Rows(const SpiceStatementContext& context, const char* statement) {
    std::string text = statement ? statement : "";
    const size_t lineFeed = text.find('\n');
    if (lineFeed != std::string::npos) text.resize(lineFeed);
    return "File:\t" + context.fileName + "\nText:\t" + text + "\nLine:\t" + std::to_string(context.line + 1) + "\n";
}

}  // namespace

int ReportSpiceStatementMessage(SpiceStatementContext& context, const char* statement, int id, const char* argument,
                                SchematicObject* part) {
    RecordSpiceSourceLocation(context);
    const std::string rows = sr_Rows(context, statement);
    return ReportCompilerMessage(part, context.scope, rows.c_str(), id, argument ? argument : "");
}

void ReportSpiceStatementWarning(SpiceStatementContext& context, const char* statement, int id, const char* argument) {
    // No error location: a later error of the deck is the one to point at.
    const std::string rows = sr_Rows(context, statement);
    ReportCompilerMessage(nullptr, context.scope, rows.c_str(), id, argument ? argument : "");
}

std::string ResolveSpiceFileName(SpiceStatementContext& context, const std::string& name) {
    return sr_ResolveIncludeName(name, context.fileName);
}

std::string ResolveIncludeFileName(const std::string& name, const std::string& includer) {
    return sr_ResolveIncludeName(name, includer);
}

int PushIncludeFile(SpiceStatementContext& context, const std::string& name) {
    SpiceReaderState* reader = GetSpiceReader(context.document);
    if (!reader) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    const std::string statement = ".INC " + name;
    if (reader->top + 1 >= kMaxSpiceSources)
        return ReportSpiceStatementMessage(context, statement.c_str(), kSrMsgTooManyIncludes, nullptr);
    const std::string path = sr_ResolveIncludeName(name, context.fileName);
    if (path.empty() || path[0] != '/' || (!sr_FileExists(path) && !FindDocumentByPath(path.c_str())))
        return ReportSpiceStatementMessage(context, statement.c_str(), kResultFileNotFound, name.c_str());
    SpiceSource& source = reader->sources[static_cast<size_t>(reader->top + 1)];
    int rc = source.file.OpenSource(path.c_str(), 0, 0, 0);
    if (!rc && !source.file.buffer) rc = sr_LoadStream(source.file);
    if (rc) {
        source.file.Close();
        if (rc == kResultNoMemory) {
            ReportCompileOutOfMemory();
            return kResultShown;
        }
        return ReportSpiceStatementMessage(context, statement.c_str(), rc, path.c_str());
    }
    source.name = path;
    source.totalLines = sr_CountLines(source.file);
    source.file.lineCounter = 0;
    ++reader->top;
    return 0;
}

// ---- reading a text ---------------------------------------------------------------------------------

namespace {

// True while the current source has text left; an exhausted include file is
// closed and the including source is asked.
bool sr_HasMoreLines(SpiceReaderState& reader) {
    while (reader.top >= 0) {
        SpiceSource* source = reader.Current();
        if (source->file.buffer && source->file.readPosition < source->file.bufferLength) return true;
        if (reader.top == 0) return false;
        source->file.Close();
        source->name.clear();
        --reader.top;
    }
    return false;
}

bool sr_BeginsWithWord(const std::string& text, const char* word, bool endsAtSemicolon) {
    const size_t n = std::strlen(word);
    if (text.compare(0, n, word) != 0) return false;
    if (text.size() == n) return endsAtSemicolon;
    const char next = text[n];
    return sr_IsBlank(next) || (endsAtSemicolon && next == ';');
}

// Progress of a long text: one text per hundredth, shown when it changed.
void sr_ShowProgress(const SpiceSource& source, std::string* lastText) {
    const int total = source.totalLines;
    if (total <= 1000 || !StatusBar().IsShown() || source.file.lineCounter % (total / 100) != 0) return;
    char text[96];
    std::snprintf(text, sizeof text, "Processing SPICE Line %d of %d (%d%%)", source.file.lineCounter, total,
                  static_cast<int>((source.file.lineCounter + 1.0) / total * 100.0));
    if (*lastText == text) return;
    *lastText = text;
    StatusBar().SetStatusText(text);
}

int sr_ReadLoop(SpiceReaderState& reader, SpiceStatementContext& context) {
    int depth = 0;
    std::string statement;
    std::string lastProgress;
    // A block left open would swallow every statement after it unnoticed.
    std::string openBlock;
    SpiceStatementContext openContext;
    while (sr_HasMoreLines(reader)) {
        SpiceSource* source = reader.Current();
        if (reader.top == 0) sr_ShowProgress(*source, &lastProgress);
        if (source->file.spiceDialect == kSpiceDialectNone) DetectSpiceDialect(source->file);
        const int rc = ReadSpiceLine(source->file, statement, kSpiceLineUpper);
        if (rc == kResultEndOfSpiceText) continue;
        // Out of memory (shown, the source closed): a half-read circuit must
        // not pass for a complete one.
        if (rc) return rc;
        context.line = source->file.statementLine;
        context.page = source->file.pageIndex;
        context.fromInclude = reader.top > 0;
        context.fileName = source->name;
        context.dialect = source->file.spiceDialect;
        if (sr_BeginsWithWord(statement, ".SUBCKT", false) && ++depth == 1) {
            openBlock = statement;
            openContext = context;
        }
        if (sr_BeginsWithWord(statement, ".ENDS", true) && --depth < 0) {
            return ReportSpiceStatementMessage(context, statement.c_str(), kSrMsgEndsOutside, nullptr);
        }
        if (statement == ".END") {
            if (reader.top == 0) break;
            source->file.Close();
            source->name.clear();
            --reader.top;
        }
        if (depth == 0 && !statement.empty()) {
            reader.statement = statement;
            const int handled = DispatchSpiceLine(context, statement.data());
            if (handled) return handled;
        }
    }
    if (depth > 0) {
        std::vector<std::string> words;
        SplitStatementWords(openBlock.c_str(), &words);
        return ReportSpiceStatementMessage(openContext, openBlock.c_str(), kSrMsgMissingEnds,
                                           words.size() > 1 ? words[1].c_str() : "");
    }
    return 0;
}

}  // namespace

int ReadSpiceText(CCTDoc* document) {
    if (!document) return 0;
    SpiceReaderState* reader = GetSpiceReader(document);
    DefineTable* table = GetDefineTable(document);
    CircuitModels* models = GetCircuitModels(document);
    if (!reader || !table || !models) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    if (table->highestScope < 1) {
        const int rc = InitRootScopes(document);
        if (rc) return rc;
    }
    SpiceStatementContext context;
    context.document = document;
    context.scope = table->highestScope;
    context.fileName = document->PathName();
    reader->context = &context;
    reader->largestNode = 0;
    reader->partPolarityPending = false;
    for (const NodeNameEntry& entry : document->build.nodeNames)
        if (entry.node > reader->largestNode) reader->largestNode = entry.node;

    // What the analysis and output statements fill starts empty.
    BeginAnalysisStatements(document);
    reader->CloseAll();
    reader->top = 0;
    SpiceSource& main = reader->sources[0];
    int page = document->PageKind(0) == kPageText ? 0 : document->GetFirstTextPage();
    if (page < 0) page = 0;
    main.file.OpenDocument(document, page, 0, 0);
    main.name = document->PathName();
    main.totalLines = sr_CountLines(main.file);

    if (main.file.spiceDialect == kSpiceDialectNone) DetectSpiceDialect(main.file);
    // The text reads in the document's dialect, else in the program's default.
    const int dialect = main.file.spiceDialect;
    std::string title;
    ReadSpiceLine(main.file, title, kSpiceLineUpper);  // the title line is never a statement
    main.file.spiceDialect = dialect;

    const std::string savedStatus = main.totalLines > 1000 && StatusBar().IsShown() ? StatusBar().StatusText() : "";
    int rc = sr_ReadLoop(*reader, context);
    if (!rc && reader->partPolarityPending) rc = ResolvePartPolarities(document, 1);
    if (!rc) MergeCurveRows(document);
    if (main.totalLines > 1000 && StatusBar().IsShown()) StatusBar().SetStatusText(savedStatus.c_str());
    reader->CloseAll();
    reader->context = nullptr;
    if (rc) return rc;
    FinishAnalysisStatements(document, context.opSeen);
    AddDefaultCurveRows(document);

    // The master library always ends the circuit's library list.
    rc = AddLibraryFile(models, "", 0, nullptr, false);
    return rc;
}
