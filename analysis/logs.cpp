#include "analysis/logs.h"

#include <cstdlib>
#include <string>

#include "analysis/globalsettings.h"
#include "analysis/numout.h"
#include "analysis/start.h"
#include "core/cmdline.h"
#include "core/memory.h"
#include "core/numbers.h"
#include "document/cirdoc.h"
#include "shell/batchlog.h"
#include "shell/document.h"
#include "shell/preferences.h"

namespace {

const char* lg_Text(const char* text) { return text ? text : ""; }

std::string lg_Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

const char* const kLgKindNames[] = {"Transient", "AC", "DC", "Distortion"};

}  // namespace

std::string SensitivityLogText(const char* text) {
    std::string out;
    const std::string in = lg_Text(text);
    size_t start = 0;
    while (start < in.size()) {
        size_t end = in.find('\n', start);
        const bool last = end == std::string::npos;
        if (last) end = in.size();
        // A "File:" line after a line break names where the message came from.
        const bool fileLine = start > 0 && in.compare(start, 5, "File:") == 0;
        if (!fileLine) out.append(in, start, end - start + (last ? 0 : 1));
        start = end + 1;
    }
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

void AnalysisMessageLogs::WriteSensitivityLogLine(const char* caption, const char* text) {
    if (!sensitivity_.IsWriting()) return;
    const std::string body = SensitivityLogText(text);
    if (CurrentRunContext().circuitDocument)
        sensitivity_.Printf("%s.%s: %s, %s\n", inputName_.c_str(), inputParameter_.c_str(), lg_Text(caption),
                            body.c_str());
    else
        sensitivity_.Printf("%s, %s\n", lg_Text(caption), body.c_str());
}

bool AnalysisMessageLogs::WriteNumericOutputMessage(platform::Window*, const char* caption, const char* text) {
    if (BatchMode()) {
        CDoc* circuit = CurrentRunContext().circuitDocument;
        LogBatchMessage(circuit ? circuit->PathName() : nullptr, lg_Text(caption), lg_Text(text));
        const int kind = RunningAnalysisKind();
        if (FILE* log = BatchLog(); log && kind >= 0 && kind <= 3)
            std::fprintf(log, "\t%s analysis\r\n", kLgKindNames[kind]);
        return true;
    }
    return RouteMessageToNumericOutput(caption, text);
}

void AnalysisMessageLogs::WriteParameterCheckLine(const char* line) {
    if (parameterCheck_.IsWriting()) parameterCheck_.Printf("%s", lg_Text(line));
}

int AnalysisMessageLogs::OpenSensitivityLog(const std::string& path) {
    if (sensitivity_.IsWriting()) sensitivity_.Close();
    return sensitivity_.CreateText(path.c_str());
}

void AnalysisMessageLogs::SetSensitivityInput(const std::string& name, const std::string& parameter) {
    inputName_ = name;
    inputParameter_ = parameter;
}

int AnalysisMessageLogs::CloseSensitivityLog() {
    inputName_.clear();
    inputParameter_.clear();
    return sensitivity_.IsWriting() ? sensitivity_.Close() : 0;
}

int AnalysisMessageLogs::OpenParameterCheckReport(const std::string& path) {
    if (parameterCheck_.IsWriting()) parameterCheck_.Close();
    return parameterCheck_.CreateText(path.c_str());
}

int AnalysisMessageLogs::CloseParameterCheckReport() {
    return parameterCheck_.IsWriting() ? parameterCheck_.Close() : 0;
}

AnalysisMessageLogs& AnalysisLogs() {
    static AnalysisMessageLogs logs;
    return logs;
}

int AnalysisFlatLayoutRecords::ReadOldGlobalSettings(TextFile& file) {
    int rc = ::ReadOldGlobalSettings(file);
    if (rc) return rc;
    char line[256];
    if ((rc = file.ReadRawLine(line, sizeof line))) return rc;
    ParseFormatSpec(&Prefs().tagFormat, lg_Trim(line).c_str());
    if ((rc = file.ReadRawLine(line, sizeof line))) return rc;
    ParseFormatSpec(&Prefs().nodeVoltageFormat, lg_Trim(line).c_str());
    if ((rc = file.ReadRawLine(line, sizeof line))) return rc;
    Prefs().nodeRecalc = std::atoi(lg_Trim(line).c_str());
    ApplyGlobalSettings(true);
    return 0;
}

void AnalysisFlatLayoutRecords::SetTitleBlockText(int index, const char* text) {
    if (index < 0 || index >= 5) return;
    SetString(&DefaultTitleBlock().fields[index], lg_Text(text));
}

void InstallAnalysisLogs() {
    static AnalysisFlatLayoutRecords records;
    InstallReportLogs(&AnalysisLogs());
    InstallFlatLayoutRecords(&records);
}
