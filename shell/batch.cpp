#include "shell/batch.h"

#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstring>

#include "core/cmdline.h"
#include "core/messages.h"
#include "core/paths.h"
#include "core/result.h"
#include "core/services.h"
#include "shell/batchlog.h"
#include "shell/document.h"
#include "shell/filetypes.h"
#include "shell/report.h"

namespace {

constexpr int kMsgBatchTitles1 = 13371;
constexpr int kMsgBatchTitles2 = 13372;
constexpr int kMsgBatchRunTime = 13373;
constexpr int kMsgBatchElapsed = 13374;
constexpr int kMsgCommandLineError = 10150;
constexpr size_t kBatchLineMax = 263;

// clang-format off
const MessageRow kBatchMessageRows[] = {
    {kMsgBatchTitles1, "Circuit               Analog       Total   Rejected      Total        Run\n"},
    {kMsgBatchTitles2, "                       Nodes  Iterations  Solutions  Solutions       Time\n"},
    {kMsgBatchRunTime, "Total run time     %s\n"},
    {kMsgBatchElapsed, "Total elapsed time %s\n"},
};
// clang-format on

// The string-table text, or this module's own row before the table has it.
const char* bt_Text(int id) {
    if (const char* text = GetMessageText(id)) return text;
    for (const MessageRow& row : kBatchMessageRows)
        if (row.id == id) return row.text;
    return "";
}

class bt_NoJobs final : public BatchJobsPort {
public:
    CDoc* OpenJob(const char* path, int) override {
        ReportMessage(MessageRequest(kResultNotBuilt).Args(path ? path : ""));
        return nullptr;
    }
    void CloseJob(CDoc*) override {}
    int RunAnalysis(CDoc*, int, BatchRunFigures*) override { return kResultNotBuilt; }
    void PrintCircuit(CDoc*) override {}
    void PrintAnalysis(CDoc*) override {}
    void CloseAnalysis(CDoc*) override {}
    int SaveDocument(CDoc*) override { return kResultNotBuilt; }
    int TranslateIbis(const char*) override { return kResultNotBuilt; }
    bool EscapePressed() override { return false; }
};
bt_NoJobs bt_noJobs;
BatchJobsPort* bt_jobs = nullptr;

double bt_Now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::string bt_Upper(const std::string& text) {
    std::string upper = text;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

// Removes every whole-word occurrence of the switch (compared without case);
// true when there was one.
bool bt_TakeSwitch(std::string& line, const char* sw) {
    bool found = false;
    const size_t n = std::strlen(sw);
    for (size_t at = bt_Upper(line).find(sw); at != std::string::npos; at = bt_Upper(line).find(sw, at)) {
        const bool startOk = at == 0 || line[at - 1] == ' ';
        const bool endOk = at + n == line.size() || line[at + n] == ' ';
        if (!startOk || !endOk) {
            at += n;
            continue;
        }
        line.erase(at, n);
        found = true;
    }
    return found;
}

std::string bt_Trim(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

std::string bt_Extension(const std::string& name) {
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return name.substr(dot);
}

}  // namespace

BatchJobsPort& BatchJobs() { return bt_jobs ? *bt_jobs : bt_noJobs; }

BatchJobsPort* InstallBatchJobs(BatchJobsPort* port) {
    BatchJobsPort* previous = bt_jobs;
    bt_jobs = port;
    return previous;
}

void RegisterBatchMessages() {
    RegisterMessages(kBatchMessageRows, static_cast<int>(sizeof(kBatchMessageRows) / sizeof(kBatchMessageRows[0])));
}

std::string CleanBatchLine(const std::string& raw) {
    std::string line = raw.substr(0, raw.find(';'));
    std::string kept;
    // File names keep their case: names are case-sensitive here. Switches and
    // keywords are compared without case instead. A tab separates words as a
    // blank does: people line their switches up with tabs.
    for (char c : line) {
        if (c == '\r' || c == '\n') continue;
        kept += c == '\t' ? ' ' : c;
    }
    kept = bt_Trim(kept);
    if (!kept.empty() && (kept[0] == '*' || kept[0] == ':')) return {};
    return kept;
}

std::string BatchLogName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string extension = bt_Extension(file);
    std::string base = file.substr(0, file.size() - extension.size());
    if (base.size() > 12) base.resize(12);
    return base + extension;
}

bool ParseBatchSwitches(const std::string& cleaned, bool saveGiven, BatchLine* out) {
    *out = BatchLine();
    std::string line = cleaned;
    for (const char* ignored : {"/TOSPICE", "/SPICE3", "/NOTOSPICE"}) bt_TakeSwitch(line, ignored);
    out->transient = bt_TakeSwitch(line, "/T");
    out->ac = bt_TakeSwitch(line, "/A");
    out->dc = bt_TakeSwitch(line, "/D");
    const bool both = bt_TakeSwitch(line, "/P");
    out->printCircuit = bt_TakeSwitch(line, "/PC") || both;
    out->printAnalysis = bt_TakeSwitch(line, "/PA") || both;
    const bool s = bt_TakeSwitch(line, "/S");
    const bool r = bt_TakeSwitch(line, "/R");
    out->runMode = s ? 2 : r ? 1 : 8;

    // The file name: the first token, quoted or not, that is no switch.
    line = bt_Trim(line);
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && line[at] == ' ') ++at;
        if (at >= line.size()) break;
        size_t end;
        std::string token;
        if (line[at] == '"') {
            end = line.find('"', at + 1);
            token = line.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
            end = end == std::string::npos ? line.size() : end + 1;
        } else {
            end = line.find(' ', at);
            if (end == std::string::npos) end = line.size();
            token = line.substr(at, end - at);
        }
        if (token[0] != '/' || token.find('.') != std::string::npos || token.find('/', 1) != std::string::npos) {
            out->name = token;
            line.erase(at, end - at);
            break;
        }
        at = end;
    }
    out->rest = bt_Trim(line);
    const bool ibis = bt_Upper(bt_Extension(out->name)) == ".IBS";
    // A job names a file: an empty line, or a GOTO or LABEL line, is none even
    // when /SAVE was given.
    const std::string keyword = bt_Upper(out->name);
    if (out->name.empty() || keyword == "GOTO" || keyword == "LABEL") return false;
    return out->transient || out->ac || out->dc || ibis || saveGiven;
}

BatchRun::~BatchRun() { End(); }

void BatchRun::LogLine(const char* format, ...) {
    if (!log_) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(log_, format, args);
    va_end(args);
}

int BatchRun::Start(const char* batchFile, const char* fallbackPath) {
    runTime_ = 0;
    stop_ = false;
    batchPath_ = batchFile ? batchFile : "";
    char path[kPathSize];
    std::snprintf(path, sizeof path, "%s", !batchPath_.empty() ? batchPath_.c_str() : fallbackPath ? fallbackPath : "");
    ChangeExtension(path, "DOC", sizeof path);
    logPath_ = path;
    log_ = std::fopen(path, "wb");
    if (!log_) {
        ReportMessage(MessageRequest(kResultWriteError).Args(path));
        return kResultWriteError;
    }
    SetBatchLog(log_);
    char date[64], time[64];
    FormatLocaleDate(date, sizeof date);
    FormatLocaleTime(time, sizeof time);
    LogLine("%s %s %s\n", batchPath_.c_str(), date, time);
    LogLine("%s", bt_Text(kMsgBatchTitles1));
    LogLine("%s", bt_Text(kMsgBatchTitles2));
    std::fflush(log_);
    startTime_ = bt_Now();
    if (batchPath_.empty()) return 0;
    batch_ = std::fopen(batchPath_.c_str(), "rb");
    if (!batch_) {
        ReportMessage(MessageRequest(kResultFileNotFound).Args(batchPath_.c_str()));
        End();
        return kResultFileNotFound;
    }
    return 0;
}

bool BatchRun::ReadLine(std::string* line) {
    line->clear();
    if (!batch_) return false;
    int c;
    bool any = false;
    while ((c = std::fgetc(batch_)) != EOF) {
        any = true;
        if (c == '\n') break;
        // Longer lines are cut where the batch reads them.
        if (line->size() < kBatchLineMax) *line += static_cast<char>(c);
    }
    return any;
}

bool BatchRun::FindLabel(const std::string& label) {
    std::rewind(batch_);
    std::string raw;
    while (ReadLine(&raw)) {
        const std::string line = CleanBatchLine(raw);
        if (bt_Upper(line.substr(0, 5)) == "LABEL" && bt_Trim(line.substr(5)) == label) return true;
    }
    return false;
}

int BatchRun::Run() {
    circuits_ = 0;
    simulations_ = 0;
    failures_ = 0;
    std::string raw;
    while (batch_ && !stop_) {
        if (!ReadLine(&raw)) break;
        const std::string line = CleanBatchLine(raw);
        const std::string keyword = bt_Upper(line.substr(0, 5));
        if (keyword.compare(0, 4, "GOTO") == 0) {
            const std::string label = bt_Trim(line.substr(4));
            if (!FindLabel(label)) {
                ReportMessage(MessageRequest().Format("Can't Find LABEL %s").Args(label.c_str()));
                break;
            }
            // A loop of GOTOs without a job in it would never poll the keyboard.
            if (BatchJobs().EscapePressed()) {
                stop_ = true;
                break;
            }
        }
        BatchLine job;
        if (!ParseBatchSwitches(line, Startup().saveAfterBatch, &job)) {
            if (!job.name.empty() && job.rest.empty() && keyword.compare(0, 4, "GOTO") && keyword != "LABEL")
                LogLine("%-19sDid not specify what to run.\n", job.name.c_str());
            continue;
        }
        RunJob(job);
        if (BatchJobs().EscapePressed()) stop_ = true;
    }
    return 0;
}

void BatchRun::RunJob(const BatchLine& job) {
    BatchJobsPort& jobs = BatchJobs();
    const bool ibis = bt_Upper(bt_Extension(job.name)) == ".IBS";
    CDoc* document = nullptr;
    if (!ibis) {
        char path[kPathSize];
        // A bare name that is in the current folder means that file; others
        // are looked for along the search paths of their kind.
        const bool here = job.name.find('/') == std::string::npos && CheckFileExists(job.name.c_str()) == 0;
        std::snprintf(path, sizeof path, "%s%s", here ? "./" : "", job.name.c_str());
        const int kind = DocumentOpener().ResolveDocumentExtension(path, sizeof path, kResolveOpen, -1);
        document = jobs.OpenJob(path, kind);
        if (document && (job.printCircuit || Startup().printCircuit)) jobs.PrintCircuit(document);
    }
    ++circuits_;
    if (jobs.EscapePressed()) stop_ = true;
    if (!ibis && !document) {
        ++failures_;
        return;
    }

    bool lineError = false;
    if (!job.rest.empty()) {
        ReportMessage(MessageRequest(kMsgCommandLineError).Args(job.rest.c_str()));
        lineError = true;
        ++failures_;
    }
    if (ibis) {
        // The translation makes and runs its own circuit in its batch form.
        if (!lineError) jobs.TranslateIbis(job.name.c_str());
        return;
    }
    if (document && !lineError) {
        const bool flags[3] = {job.transient, job.ac, job.dc};
        const char letters[3] = {'T', 'A', 'D'};
        for (int analysis = 0; analysis < 3 && !stop_; ++analysis) {
            if (!flags[analysis]) continue;
            const int savedMode = Startup().batchMode;
            if (job.runMode == 1 || job.runMode == 2) Startup().batchMode = job.runMode;
            BatchRunFigures figures;
            const int rc = jobs.RunAnalysis(document, analysis, &figures);
            Startup().batchMode = savedMode;
            if (rc == 0) {
                ++simulations_;
                if (job.printAnalysis || Startup().printAnalysis) jobs.PrintAnalysis(document);
                LogLine("%-19s/%c%7u%12lu%11lu%11lu%11.3f\n", BatchLogName(job.name).c_str(), letters[analysis],
                        static_cast<unsigned>(figures.analogNodes), figures.iterations, figures.rejected,
                        figures.solutions, figures.runSeconds);
                runTime_ += figures.runSeconds;
            } else {
                ++failures_;
            }
            if (log_) std::fflush(log_);
            jobs.CloseAnalysis(document);
            if (jobs.EscapePressed()) stop_ = true;
        }
        if (Startup().saveAfterBatch) jobs.SaveDocument(document);
    }
    if (document) jobs.CloseJob(document);
}

void BatchRun::End() {
    if (batch_) {
        std::fclose(batch_);
        batch_ = nullptr;
    }
    if (!log_) return;
    char text[128];
    std::snprintf(text, sizeof text, bt_Text(kMsgBatchRunTime), FormatElapsedTime(std::lround(runTime_)).c_str());
    LogLine("%s", text);
    std::snprintf(text, sizeof text, bt_Text(kMsgBatchElapsed),
                  FormatElapsedTime(std::lround(bt_Now() - startTime_)).c_str());
    LogLine("%s", text);
    LogLine("Total Circuits %d\n", circuits_);
    LogLine("Total Simulations %d\n", simulations_);
    if (BatchLog() == log_) SetBatchLog(nullptr);
    std::fclose(log_);
    log_ = nullptr;
}
