// Where analysis control sends reported messages besides message boxes: the
// log of a running sensitivity calculation, the numeric output of the open
// analysis and the model parameter check report; and the analysis records of
// the older flat settings layout. Both ports are installed once at start-up.
#pragma once

#include <memory>
#include <string>

#include "core/settings.h"
#include "core/textfile.h"
#include "shell/report.h"

// The message logs of the reporter. The logs' owners open and close them here;
// the reporter writes into the open ones.
class AnalysisMessageLogs final : public MessageLogs {
public:
    bool SensitivityLogOpen() override { return sensitivity_.IsWriting(); }
    // "<name>.<parameter>: <caption>, <text>" with the input variable the
    // calculation is at, or "<caption>, <text>" without a circuit; lines of the
    // text that begin with "File:" are left out, and a final line break too.
    void WriteSensitivityLogLine(const char* caption, const char* text) override;
    // Batch runs log the message with the analysis it came from; otherwise
    // it goes into the open analysis's numeric output ("<caption> <text>").
    bool WriteNumericOutputMessage(platform::Window* parent, const char* caption, const char* text) override;
    bool ParameterCheckOpen() override { return parameterCheck_.IsWriting(); }
    void WriteParameterCheckLine(const char* line) override;

    // The sensitivity report file of a calculation (created), and the input
    // variable its messages are written with. 0 or the create's result code.
    int OpenSensitivityLog(const std::string& path);
    void SetSensitivityInput(const std::string& name, const std::string& parameter);
    TextFile& SensitivityLog() { return sensitivity_; }
    int CloseSensitivityLog();
    // The model parameter check report (created). 0 or a result code.
    int OpenParameterCheckReport(const std::string& path);
    TextFile& ParameterCheckReport() { return parameterCheck_; }
    int CloseParameterCheckReport();

private:
    TextFile sensitivity_;
    std::string inputName_, inputParameter_;
    TextFile parameterCheck_;
};
AnalysisMessageLogs& AnalysisLogs();

// The sensitivity log's text of a message: "File:" lines dropped, no final
// line break.
std::string SensitivityLogText(const char* text);

// The records of the flat settings layout that analysis control and the
// schematic's title block own.
class AnalysisFlatLayoutRecords final : public FlatLayoutRecordsPort {
public:
    // The option texts, then the tag and node-voltage display formats and the
    // renumbering threshold of the preferences; the settings are applied.
    int ReadOldGlobalSettings(TextFile& file) override;
    // Into the program's default title block (texts beyond the five dropped).
    void SetTitleBlockText(int index, const char* text) override;
};

// Installs both ports (start-up and test start-ups).
void InstallAnalysisLogs();
