// User warnings: ".WARNING [\"title\",] \"message\", condition[, report]" on a
// schematic. Each condition is tested at every computed point of a run; the
// first time it is non-zero the warning fires, and at the end of the run the
// fired warnings show as text boxes on the schematic, one box per title. The
// boxes keep their place and look from run to run through the circuit's
// warning styles, which the circuit file keeps in its [Warning] sections.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "core/fontspec.h"
#include "core/properties.h"
#include "models/modelstmt.h"

class CCTDoc;
class CircuitFile;
struct GridTextObject;

struct WarningRecord {
    std::string title;  // empty: none (the box is titled "Warning:")
    std::string message;
    DeviceExpression condition;
    DeviceExpression report;  // no text: the run's X variable is reported
    bool fired = false;
    StatementSource source{};
    double reportedValue = 0;
    std::string reportText;  // the report expression as written, or empty
    int styleIndex = -1;

    const char* BoxTitle() const { return title.empty() ? "Warning:" : title.c_str(); }
};

struct WarningStyle {
    std::string title;  // empty: a free entry
    int32_t x = 12, y = 13;
    GraphicStyle style;
    FontSpec font;
    uint16_t styleWord = 0;
};

struct CircuitWarnings {
    std::vector<std::unique_ptr<WarningRecord>> records;
    std::vector<WarningStyle> styles;
};

// The circuit's warnings (in its compile session); null for a null document.
CircuitWarnings* GetCircuitWarnings(CCTDoc* document);

// Message ids.
enum WarningMessage : int {
    kMsgMissingQuotes = 15048,
    kMsgMissingExpression = 10410,
};

// 0 when the text is no .WARNING statement or its record was added; 15055
// after 15048 (a text not quoted) or 10410 (no condition); 15002 out of memory.
int ParseWarningStatement(CCTDoc* document, const char* text, const StatementSource& source);
// Compiles the pending condition and report texts of every record (defines of
// the circuit substituted). Returns status, or 15055 after the first failure.
int CompileWarningExpressions(CCTDoc* document, int status);
// Tests every record that has not fired at the current point of the run: 0,
// or 15055 after a condition failed to evaluate. A record without a report
// expression records the run's X variable (time, frequency or DC input).
int EvaluateWarnings(CCTDoc* document);
// Shows the fired records as boxes on a schematic (a box per title, its lines
// in statement order); boxes no record fired are removed, remembering where
// they were. analysisKind (0 transient, 1 AC, 2 DC, 3 distortion) names the X
// variable of records without a report expression.
void ReportWarnings(CCTDoc* document, int analysisKind);
// The start of the runs: every record unfired, every warning box removed
// (remembering its place and look).
void ClearWarningMarks(CCTDoc* document);
// At every compile start.
void FreeWarningRecords(CCTDoc* document);
// At the end of every compile: a style no record uses becomes free.
void PruneWarningStyles(CCTDoc* document);
// When the document closes.
void FreeWarningStyles(CCTDoc* document);
// Remembers a warning box's place, style and font under its title (its first
// line): the style index, or -1 when the box has no title line.
int RegisterWarningStyle(CCTDoc* document, const GridTextObject* box);
// The [Warning] section routine of the circuit file: writes every titled style,
// or reads one section into the table.
int WarningSectionIO(CircuitFile& file);
// Installs the section routine (start-up).
void InstallWarningSection();

// The module's message texts (RegisterCompilerMessages calls it).
void RegisterWarningMessages();
