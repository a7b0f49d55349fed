// Message reporting: option letters, composing the record, routing it, and
// the help texts of help.tw8.
#include "shell/report.h"

#include <strings.h>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "core/filestream.h"
#include "core/memory.h"
#include "core/paths.h"
#include "core/report_port.h"
#include "core/result.h"
#include "core/stringarray.h"
#include "platform/app.h"
#include "shell/batchlog.h"
#include "shell/document.h"
#include "shell/messages.h"
#include "shell/preferences.h"

namespace {

// Codes that mean "already shown" or "nothing to show".
constexpr int kRpSilentCodes[] = {0, 15055, 15056, 15057};

// The printf arguments of a message text: the legacy caller's list, or the
// typed arguments of a request.
struct rp_Printer {
    va_list* list = nullptr;
    const std::vector<MessageArg>* args = nullptr;
};

// Fills `out` from a format that is the program's own (a string-table text or a
// caller's literal).
void rp_Print(char* out, size_t size, const char* format, const rp_Printer& printer) {
    if (printer.list) {
        FormatBoundedV(out, size, format, *printer.list);
        return;
    }
    static const std::vector<MessageArg> none;
    FormatMessageArgs(out, size, format, printer.args ? *printer.args : none);
}

platform::Window* rp_ActiveWindow() {
    if (Dialogs().currentDialog) return Dialogs().currentDialog;
    if (platform::Application* app = platform::Application::Instance()) return app->MainWindow();
    return nullptr;
}

// The path a d view names: the document it depends on for documents that
// carry plot objects, else the document's own path for circuit, text and
// library windows.
void rp_ViewFileName(CMDIView* view, char* out, size_t size) {
    out[0] = 0;
    if (!view || !view->frame) return;
    CDoc* doc = view->GetDocument();
    if (!doc) return;
    if ((doc->flags & kDocFlagPlotObjects) && doc->owner) {
        doc->owner->CopyPathName(out, size);
    } else if (view->kind >= kDocCircuit && view->kind <= kDocLibrary) {
        doc->CopyPathName(out, size);
    }
}

void rp_FrameFileName(CMDIFrame* frame, char* out, size_t size) {
    out[0] = 0;
    if (!frame || frame->kind < kDocCircuit || frame->kind > kDocLibrary) return;
    if (CDoc* doc = frame->view ? frame->view->GetDocument() : nullptr) doc->CopyPathName(out, size);
}

// The circuit a batch-log entry names: the current circuit's path when the
// message's window shows that circuit or its analysis.
const char* rp_BatchCircuitName(platform::Window* window) {
    const RunContext& run = CurrentRunContext();
    if (!window || !run.circuitDocument) return "";
    for (CMDIView* view : {run.circuitView, run.analysisView})
        if (view && (window == view || window == view->frame)) return run.circuitDocument->PathName();
    return "";
}

bool rp_IsSilentCode(int code) {
    for (int c : kRpSilentCodes)
        if (code == c) return true;
    return false;
}

size_t rp_Length(const char* text, size_t size) { return strnlen(text, size); }

// The body of ComposeMessage. `textGiven` says an F format filled the text
// (even with nothing), so the code's text is not printed with arguments that
// the format has already used.
void rp_Compose(MessageRecord& record, int code, const SchematicObject* component, const NetlistLine* textLine,
                const char* tText, int sourceIndex, bool textGiven, const rp_Printer& printer) {
    MessageObjects& objects = ReportObjects();
    // In these destinations the rows are always part of the text.
    if (BatchMode() || ReportLogs().SensitivityLogOpen() || ReportLogs().ParameterCheckOpen()) record.rowsInList = 0;
    record.extraText = nullptr;
    record.messageId = 0;

    const char* instanceName = nullptr;
    const char* entryFile = nullptr;
    bool haveEntry = sourceIndex >= 0 && ReportSourceFiles().SourceEntry(sourceIndex, &instanceName, &entryFile);

    if (!record.parent) record.parent = rp_ActiveWindow();

    const char* title = nullptr;
    if (textGiven || record.text[0]) {
        CopyTextBounded(record.displayText, record.text, sizeof record.displayText);
        title = record.prefix;
    } else {
        record.displayText[0] = 0;
        if (code != -1) {
            // The code's text, with every "%" of user text doubled: only the
            // program's own conversions remain for the arguments.
            const char* t = FormatPendingMessage(record.text, sizeof record.text, &code);
            if (t && *t) title = t;
            rp_Print(record.displayText, sizeof record.displayText, record.text, printer);
        }
        if (!title) title = record.prefix;
    }

    record.caption[0] = 0;
    record.messageId = code;
    record.style = 0;
    record.beep = 0;
    if (title && *title) {
        FormatBounded(record.caption, sizeof record.caption, "TW8 %s", title);
        record.style = title[0] == 'E' ? mbstyle::Error : mbstyle::Warning;
    }
    if (record.style & 0x30) record.beep = 48;
    if (record.style & 0x10) record.beep = 16;

    const char* partValue = component ? objects.ComponentPartValue(component) : nullptr;
    if (partValue) {
        FormatBounded(record.text, sizeof record.text, "%s", record.displayText);
        if (record.rowCount < kMessageMaxRows) {
            const char* value = partValue;
            if (haveEntry && instanceName) {
                if (FormatString(&record.extraText, "%s%s%s", instanceName, *instanceName ? "." : "", partValue))
                    value = record.extraText;
            }
            AddMessageRow(record, "Part:", value);
        }
    } else if (tText) {
        CopyTextBounded(record.text, record.displayText, sizeof record.text);
        if (record.rowCount < kMessageMaxRows) AddMessageRow(record, "Text:", tText);
    } else {
        FormatBounded(record.text, sizeof record.text, "%s\n", record.displayText);
    }
    size_t length = rp_Length(record.text, sizeof record.text);

    // The file row, once.
    const char* file = textLine ? objects.TextLineFileName(textLine) : nullptr;
    if (!file || !*file) file = haveEntry ? entryFile : nullptr;
    if (!file || !*file) file = record.fileName;
    bool listed = false;
    for (int i = 0; i < record.rowCount; ++i)
        if (strcasecmp(record.rowLabels[i], "File:") == 0 && std::strcmp(record.rowValues[i], file) == 0) listed = true;
    if (!listed && *file) AddMessageRow(record, "File:", file);

    if (!record.rowsInList) {
        for (int i = 0; i < record.rowCount; ++i) {
            if (length + 1 >= sizeof record.text) break;
            const char* value = record.rowValues[i];
            bool cut = std::strlen(value) > size_t(kMessageRowValueShown);
            length += FormatBounded(record.text + length, sizeof record.text - length, "\n%s\t%.60s%s",
                                    record.rowLabels[i], value, cut ? "..." : "");
        }
        record.rowCount = 0;
    }
}

// A report from its request, and everything after it.
int rp_Report(const MessageRequest& request, const rp_Printer& printer) {
    MessageRecord record;
    InitMessageRecord(record);
    MessageObjects& objects = ReportObjects();

    const int code = request.code();
    const SchematicObject* component = request.component();
    const bool componentGiven = request.componentGiven();
    const NetlistLine* textLine = request.line();
    const char* tText = request.text();
    int sourceIndex = request.source();
    CMDIView* view = request.view();

    switch (request.parentKind()) {
    case MessageParent::None: break;
    case MessageParent::Active: record.parent = rp_ActiveWindow(); break;
    case MessageParent::Window: record.parent = request.parent(); break;
    case MessageParent::View:
        record.parent = view;
        rp_ViewFileName(view, record.fileName, sizeof record.fileName);
        break;
    case MessageParent::Frame:
        record.parent = request.frame();
        rp_FrameFileName(request.frame(), record.fileName, sizeof record.fileName);
        break;
    }
    record.warnAgain = request.warnAgain();
    record.offsetX = request.offsetX();
    record.offsetY = request.offsetY();
    record.timed = request.timed() ? 1 : 0;
    const char letter = request.messageClass();
    record.prefix = letter == 'E' ? "Error" : letter == 'W' ? "Warning" : nullptr;
    for (const MessageDetail& row : request.rows()) {
        if (row.list) {
            const StringArray* list = row.list;
            for (int i = 0; i < list->count; ++i) {
                const char* s = list->entries[i].text;
                if (s && *s && record.rowCount <= kMessageListRowLimit)
                    if (AddMessageRow(record, s, "")) record.rowsInList = 1;
            }
        } else if (!row.value) {
            if (row.label && *row.label)
                if (AddMessageRow(record, row.label, "")) record.rowsInList = 1;
        } else if ((row.label && *row.label) || *row.value) {
            if (AddMessageRow(record, row.label, row.value)) record.rowsInList = 1;
        }
    }
    // The context lines ("File:\tpath\nLine:\t12\n") name where the fault is:
    // each becomes a row of its own.
    std::vector<std::string> contextRows;
    for (const char* p = request.context(); p && *p;) {
        const char* end = std::strchr(p, '\n');
        contextRows.emplace_back(p, end ? static_cast<size_t>(end - p) : std::strlen(p));
        p = end ? end + 1 : p + std::strlen(p);
    }
    std::vector<std::string> contextValues(contextRows.size());
    for (size_t i = 0; i < contextRows.size(); ++i) {
        std::string& label = contextRows[i];
        const size_t tab = label.find('\t');
        if (tab != std::string::npos) {
            contextValues[i] = label.substr(tab + 1);
            label.resize(tab);
        }
        if (!label.empty()) AddMessageRow(record, label.c_str(), contextValues[i].c_str());
    }
    if (component)
        if (std::optional<int> index = objects.ComponentSourceIndex(component)) sourceIndex = *index;
    if (textLine) {
        if (std::optional<int> index = objects.TextLineSourceIndex(textLine)) sourceIndex = *index;
        if (!tText) tText = objects.TextLineText(textLine);
    }

    if (request.appendRows()) record.rowsInList = 0;
    if (rp_IsSilentCode(code)) return 0;
    if (record.timed && Prefs().warningTime <= 0) return 0;
    if (view && view->frame) view->ActivateFrame();
    const char* format = request.format();
    if (format) rp_Print(record.text, sizeof record.text, format, printer);

    rp_Compose(record, code, component, textLine, tText, sourceIndex, format != nullptr, printer);

    if (request.styleGiven()) record.style = request.style();
    if ((record.style & mbstyle::IconMask) == 0 && (record.style & mbstyle::ButtonMask) != 0)
        record.style |= mbstyle::IconQuestion;
    if (!record.caption[0]) LoadMessageText(record.caption, kMsgProgramName, sizeof record.caption);
    if (request.caption()) CopyTextBounded(record.caption, request.caption(), sizeof record.caption);

    bool warning = std::strstr(record.caption, "Warning") != nullptr;
    if (warning && Reporting().warningsOff) {
        FreeString(&record.extraText);
        return 0;
    }
    int result = RouteMessage(record);
    if (!warning) {
        if (componentGiven) {
            if (component) objects.ShowErrorSource(component, nullptr);
        } else if (textLine) {
            objects.ShowErrorSource(nullptr, textLine);
        }
    }
    return result;
}

// The letters of the legacy form read into a request, each taking its
// arguments from the list in order; the list is left at the message's own
// printf arguments.
MessageRequest rp_ReadLetters(const char* options, va_list* ap) {
    MessageRequest request;
    for (const char* o = options ? options : ""; *o; ++o) {
        switch (*o) {
        case 'A': request.ActiveParent(); break;
        case 'n': request.AppendRows(); break;
        case 'w': request.Timed(); break;
        case 'E': request.Code(va_arg(*ap, int)); break;
        case 'B': request.Caption(va_arg(*ap, const char*)); break;
        case 'C': request.WarnAgain(va_arg(*ap, int*)); break;
        case 'D':
        case 'P': request.Parent(va_arg(*ap, platform::Window*)); break;
        case 'F': request.Format(va_arg(*ap, const char*)); break;
        case 'L': request.Source(va_arg(*ap, int)); break;
        case 'M': {
            const char* label = va_arg(*ap, const char*);
            const char* value = va_arg(*ap, const char*);
            request.Row(label, value ? value : "");
            break;
        }
        case 'N': request.Component(va_arg(*ap, SchematicObject*)); break;
        case 'O': {
            int x = va_arg(*ap, int);
            int y = va_arg(*ap, int);
            request.Offset(x, y);
            break;
        }
        case 'S': request.Style(va_arg(*ap, unsigned)); break;
        case 'T': request.Line(va_arg(*ap, NetlistLine*)); break;
        case 'd': request.View(va_arg(*ap, CMDIView*)); break;
        case 'l': request.Rows(va_arg(*ap, StringArray*)); break;
        case 'm': request.Row(va_arg(*ap, const char*)); break;
        case 'p': request.Frame(va_arg(*ap, CMDIFrame*)); break;
        case 's': request.Class(static_cast<char>(va_arg(*ap, int))); break;
        case 't': request.Text(va_arg(*ap, const char*)); break;
        default: break;
        }
    }
    return request;
}

}  // namespace

// ---- record ------------------------------------------------------------------------------

void InitMessageRecord(MessageRecord& record) {
    std::memset(&record, 0, sizeof record);
    record.messageId = -1;
}

bool AddMessageRow(MessageRecord& record, const char* label, const char* value, int limit) {
    if (limit > kMessageMaxRows) limit = kMessageMaxRows;
    if (record.rowCount < 0 || record.rowCount >= limit) return false;
    record.rowLabels[record.rowCount] = label ? label : "";
    record.rowValues[record.rowCount] = value ? value : "";
    ++record.rowCount;
    return true;
}

// ---- reporting ------------------------------------------------------------------------------

ReportSwitches& Reporting() {
    static ReportSwitches switches;
    return switches;
}

namespace {

class rp_NoLogs final : public MessageLogs {
public:
    bool SensitivityLogOpen() override { return false; }
    void WriteSensitivityLogLine(const char*, const char*) override {}
    bool WriteNumericOutputMessage(platform::Window*, const char*, const char*) override { return false; }
    bool ParameterCheckOpen() override { return false; }
    void WriteParameterCheckLine(const char*) override {}
};

class rp_NoObjects final : public MessageObjects {
public:
    std::optional<int> ComponentSourceIndex(const SchematicObject*) override { return std::nullopt; }
    const char* ComponentPartValue(const SchematicObject*) override { return nullptr; }
    std::optional<int> TextLineSourceIndex(const NetlistLine*) override { return std::nullopt; }
    const char* TextLineText(const NetlistLine*) override { return nullptr; }
    const char* TextLineFileName(const NetlistLine*) override { return nullptr; }
    void ShowErrorSource(const SchematicObject*, const NetlistLine*) override {}
};

class rp_NoSourceFiles final : public MessageSourceFiles {
public:
    bool SourceEntry(int, const char**, const char**) override { return false; }
};

rp_NoLogs rp_noLogs;
rp_NoObjects rp_noObjects;
rp_NoSourceFiles rp_noSourceFiles;
MessageLogs* rp_logs = nullptr;
MessageObjects* rp_objects = nullptr;
MessageSourceFiles* rp_sourceFiles = nullptr;

}  // namespace

MessageLogs& ReportLogs() { return rp_logs ? *rp_logs : rp_noLogs; }
void InstallReportLogs(MessageLogs* logs) { rp_logs = logs; }
MessageObjects& ReportObjects() { return rp_objects ? *rp_objects : rp_noObjects; }
void InstallReportObjects(MessageObjects* objects) { rp_objects = objects; }
MessageSourceFiles& ReportSourceFiles() { return rp_sourceFiles ? *rp_sourceFiles : rp_noSourceFiles; }
void InstallReportSourceFiles(MessageSourceFiles* files) { rp_sourceFiles = files; }

int ReportMessage(const MessageRequest& request) {
    // The texts are copied first: a subject message consumes the pending text
    // that an argument may still point into.
    std::vector<std::string> texts;
    std::vector<MessageArg> args;
    texts.reserve(request.args().size());
    args.reserve(request.args().size());
    for (const MessageArg& arg : request.args()) {
        if (arg.kind() == MessageArg::Kind::Text && arg.AsText()) {
            texts.emplace_back(arg.AsText());
            args.emplace_back(texts.back());
        } else {
            args.push_back(arg);
        }
    }
    rp_Printer printer;
    printer.args = &args;
    return rp_Report(request, printer);
}

int ReportMessageLetters(const char* options, ...) {
    va_list ap;
    va_start(ap, options);
    MessageRequest request = rp_ReadLetters(options, &ap);
    rp_Printer printer;
    printer.list = &ap;
    int result = rp_Report(request, printer);
    va_end(ap);
    return result;
}

int ShellReporter::Report(const MessageRequest& request) { return ReportMessage(request); }

void ShellReporter::Beep() {
    if (platform::Application* app = platform::Application::Instance()) app->Beep();
}

void ComposeMessage(MessageRecord& record, int code, const SchematicObject* component, const NetlistLine* textLine,
                    const char* tText, int sourceIndex, const std::vector<MessageArg>& args) {
    rp_Printer printer;
    printer.args = &args;
    rp_Compose(record, code, component, textLine, tText, sourceIndex, false, printer);
}

int RouteMessage(MessageRecord& record) {
    MessageLogs& logs = ReportLogs();
    int result = 0;
    if (logs.SensitivityLogOpen()) logs.WriteSensitivityLogLine(record.caption, record.text);
    if (Reporting().transientReport && logs.WriteNumericOutputMessage(record.parent, record.caption, record.text)) {
        result = 0;
    } else if (logs.ParameterCheckOpen()) {
        const char* p = record.text;
        char line[kMessageTextSize + 4];
        while (*p) {
            const char* end = std::strchr(p, '\n');
            size_t n = end ? size_t(end - p) : std::strlen(p);
            FormatBounded(line, sizeof line, "\t%.*s\n", static_cast<int>(n), p);
            logs.WriteParameterCheckLine(line);
            p += n;
            if (*p) ++p;
        }
        result = 0;
    } else if (BatchMode()) {
        LogBatchMessage(rp_BatchCircuitName(record.parent), record.caption, record.text);
        result = 0;
    } else {
        if (record.beep && Prefs().sound) {
            if (IsReporterInstalled())
                Reporter().Beep();
            else if (platform::Application* app = platform::Application::Instance())
                app->Beep();
        }
        result = ShowMessageBox(record);
    }
    FreeString(&record.extraText);
    return result;
}

void InstallMessageReporter() {
    RegisterShellMessages();
    static ShellReporter reporter;
    InstallReporter(&reporter);
}

// ---- help texts --------------------------------------------------------------------------

namespace {

struct rp_SyntaxHelp {
    int messageId;
    int helpId;
};
constexpr rp_SyntaxHelp kRpSyntaxHelp[] = {{13258, 6124}, {10864, 6132}, {10859, 6015}};

bool rp_ReadInt32(FILE* f, int32_t* value) {
    unsigned char b[4];
    if (std::fread(b, 1, 4, f) != 4) return false;
    *value = static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
    return true;
}

}  // namespace

int GetSyntaxHelpId(int messageId) {
    for (const rp_SyntaxHelp& row : kRpSyntaxHelp)
        if (row.messageId == messageId) return row.helpId;
    return 0;
}

char* ReadHelpTextFrom(const char* path, int topicId, int* exists) {
    if (exists) *exists = 0;
    if (!path || !*path) return nullptr;
    // A plain open: looking up a help text must not replace the pending text
    // that a message being composed may still name.
    FILE* f = std::fopen(path, "rb");
    if (!f) return nullptr;
    char* result = nullptr;
    long size = GetStreamLength(f);
    int32_t count = 0;
    if (size < 4 || !rp_ReadInt32(f, &count) || count < 0) count = 0;
    // Only the index entries that lie inside the file are read.
    long room = size >= 4 ? (size - 4) / 8 : 0;
    if (count > room) count = static_cast<int32_t>(room);
    for (int32_t i = 0; i < count; ++i) {
        int32_t offset = 0, id = 0;
        if (!rp_ReadInt32(f, &offset) || !rp_ReadInt32(f, &id)) break;
        if (id != topicId) continue;
        int32_t length = -1;
        bool valid = offset >= 0 && long(offset) <= size - 4 && std::fseek(f, offset, SEEK_SET) == 0 &&
                     rp_ReadInt32(f, &length) && length >= 0 && long(length) <= size - 4 - long(offset);
        if (!valid) break;  // a damaged entry counts as no topic
        if (exists) {
            *exists = 1;
            break;
        }
        result = static_cast<char*>(MemAlloc(size_t(length) + 1));
        if (result) {
            if (std::fread(result, 1, size_t(length), f) != size_t(length)) {
                MemFree(result);
                result = nullptr;
            } else {
                result[length] = 0;
            }
        }
        break;
    }
    std::fclose(f);
    return result;
}

char* ReadHelpText(int topicId, int* exists) {
    char path[300];
    MakeProgramPath(path, "help.tw8");
    return ReadHelpTextFrom(path, topicId, exists);
}
