// Analysis statements of SPICE text read into the analysis limits of the
// document (.TRAN, .AC, .NOISE, .DC, .TF, .SENS, .TEMP, .STEP, .TR). The
// handlers themselves are declared with the statement tables
// (compiler/statements.h); here are the entries the reader and the compile
// driver call around them, and the helpers the output statements and the
// limit writers share.
#pragma once

#include <string>

class CCTDoc;
struct AnalysisKindSettings;
struct StatementState;
struct StringArray;

// Run option bits of an analysis kind (AnalysisKindSettings::optionWord).
constexpr int kRunOperatingPoint = 0x40;
constexpr int kRunOperatingPointOnly = 0x80;
constexpr int kRunAutoScaleRanges = 0x8000;

// Limit text slots by kind (AnalysisKindSettings::limits).
enum TransientLimit : int { kTranRange = 0, kTranMaxStep = 1, kTranPoints = 2, kTranTemperature = 3 };
enum AcLimit : int { kAcRange = 0, kAcPoints = 1, kAcTemperature = 2, kAcNoiseInput = 4, kAcNoiseOutput = 5 };
enum DcLimit : int {
    kDcRange2 = 0,
    kDcName2 = 1,
    kDcRange1 = 2,
    kDcName1 = 3,
    kDcPoints = 4,
    kDcTemperature = 5,
};
// Sweep methods of AC and DC variables.
constexpr int kSweepNone = 0, kSweepLinear = 1, kSweepLog = 2, kSweepList = 3;

// The statement state of the document's compile session; null for a null
// document or when out of memory.
StatementState* GetStatementState(CCTDoc* document);
// The limits of one kind (0-5), the document's analysis settings made when it
// has none; null for a bad kind, a null document or out of memory.
AnalysisKindSettings* AnalysisKindOf(CCTDoc* document, int kind);
// The analysis being set up or run (0 transient ... 3 distortion, -1 none).
int CurrentAnalysisKind();

// Start of a read of a SPICE text (not for a stepped circuit being rebuilt):
// clears what the statements fill — limit texts, curve rows, the current
// kind's stepping records and watch list, the .SENS outputs, the counters of
// the output statements — and sets the operating point option of the
// transient and AC kinds.
void BeginAnalysisStatements(CCTDoc* document);
// End of a successful read: .OP without .TRAN makes the transient run an
// operating point only.
void FinishAnalysisStatements(CCTDoc* document, bool opSeen);

// A .TR statement, from a SPICE text or a circuit text page: fills the
// document's time-step table. 0, 15055 after a shown message.
int ReadTrStatement(CCTDoc* document, const char* statement, int scope);
// Forgets the .TR table (compile start).
void ClearTimeStepTable(CCTDoc* document);
// The largest time step allowed at time t by the .TR table; 0 when there is
// none or t lies beyond its last time.
double MaxTimeStepAt(CCTDoc* document, double t);
// Whether a .TRAN ... UIC asked to start from the initial conditions.
bool UseInitialConditionsRequested(CCTDoc* document);

// The value words from `*index` up to the first word that begins with a
// letter, commas dropped, joined with ","; *index moves past them.
std::string JoinValueWords(const StringArray& words, int* index);

// The message texts of the analysis, output and initial-condition statements.
void RegisterAnalysisStatementMessages();
