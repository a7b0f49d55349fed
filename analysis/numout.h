// The numeric output file: the plain-text report an analysis writes beside its
// circuit — title block, limits, warnings, a caption box per run, the DC
// operating point, device and model tables in column blocks, and the curve
// tables of the marked curves. Its layout is read back by IMPORT, so the words
// and spacing are fixed.
//
// One NumericOutput belongs to an open analysis. The file is created (emptied)
// only when the analysis starts or a series of runs is set up; everything else
// that opens it — a message routed after a run closed it — appends.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/numbers.h"
#include "core/textfile.h"

struct AnalysisKindSettings;

// Output files of a circuit: the document's path with the extension made of
// the kind's letter ("TADWxxFx") and the two-letter suffix ("NO", "SA", "MC");
// with keepExtension the old extension stays in the name ("AMP.CKT" gives
// "AMP_CKT.TSA"). A path that already has the extension is returned as it is.
std::string MakeAnalysisFileName(const std::string& documentPath, int kind, const char* suffix, bool keepExtension);

// The seven switches of a kind (AnalysisKindSettings::numOutWrite), in order.
enum NumericOutputSwitch : int {
    kIncludeNumericOutput = 0,
    kIncludeModelParameters,
    kIncludeAnalysisLimits,
    kIncludeWaveformValues,
    kIncludeOperatingPoint,
    kIncludeZeroParameters,
    kIncludeUndefinedParameters,
};

// The operating point of a run: node names by node number (index 0 is node 1;
// "" writes "mem error"), their voltages, the inductors with their currents and
// the digital nodes with their state letters.
struct OperatingPointData {
    std::vector<std::string> nodeNames;
    std::vector<double> nodeVoltages;
    std::vector<std::string> inductorNames;
    std::vector<double> inductorCurrents;
    std::vector<std::string> digitalNames;
    std::vector<char> digitalStates;
};

// One device-kind section of the device tables: its devices (name, model name,
// whether it has a model) and its rows in order. A row is a value row (one
// value per device), a group heading ("Power Terms:", "Pin Currents:",
// "Device Variables:"; `label` holds the heading with its leading line breaks)
// or the condition row (one condition code per device).
struct DeviceTableRow {
    enum Kind : int { kValues, kHeading, kCondition } kind = kValues;
    std::string label;
    std::vector<double> values;   // kValues
    std::vector<int> conditions;  // kCondition
    bool leadingBreak = true;     // kCondition: the opamp section has none
};
struct DeviceTableSection {
    std::string title;
    int labelWidth = 12;
    std::vector<std::string> names;
    std::vector<std::string> models;  // "" when the device has no model
    std::vector<bool> hasModel;
    bool usingModelRow = true;  // the kind has a model type and a device names one
    std::vector<DeviceTableRow> rows;
};

// The model parameter listing of one model type: the devices (in list order)
// with their model names and, per parameter, each model's value or undefined.
struct ModelParameterValue {
    bool defined = false;
    int kind = 1;  // 1 number, 2 single character, 3 text
    double number = 0;
    std::string text;
};
struct ModelParameterTable {
    std::string description;                  // "Diode", "Mosfet", ...
    std::vector<std::string> parameterNames;  // in table order
    std::vector<std::string> deviceNames;     // devices with a model
    std::vector<std::string> modelNames;
    std::vector<std::vector<ModelParameterValue>> values;  // [device][parameter]
};

// One curve of the curve tables, as the plot window prepared it for the run.
struct NumericCurve {
    std::string xExpression, yExpression;
    int xColumn = 0, yColumn = 0;  // columns of the point store; 0 is the analysis X
    bool printX = false, printY = false;
    FormatSpec formatX, formatY;
    std::string scaleFactorX = "None", scaleFactorY = "None";  // "None", "Auto" or a text
    std::string unitsX = "Auto", unitsY = "Auto";              // "None", "Auto" or a text
    std::string autoUnitX, autoUnitY;                          // unit names of "Auto"
    bool digital = false;
    bool fft = false;
    int firstIndex = 0;  // first stored point of the run
    int lastIndex = -1;  // last stored point of the run, -1 none
    int leadingEmptyRows = 0;
    bool backwardX = false;
    int widthX = 0, widthY = 0;  // column widths, found by the measuring pass
};

// The point store the curve tables sample (the plot window's store).
class CurvePointSource {
public:
    virtual ~CurvePointSource() = default;
    virtual double Value(int column, int index) = 0;
    // The state text of a digital curve's value.
    virtual std::string DigitalText(const NumericCurve& curve, double value) = 0;
};

// The linear step: y0 + (y1 - y0) / (x1 - x0) * (x - x0), the mean when
// x1 equals x0.
double InterpolateLinear(double y1, double y0, double x, double x1, double x0);
// The Y value at x from the stored points start..last of two columns; `hold`
// takes the last point at or before x; flags bit 0 log X, bit 1 log Y. Returns
// the index of the interval (or point) used, for the next search to resume at.
int InterpolateAtX(CurvePointSource& source, double* out, double x, bool hold, int xColumn, int yColumn, int last,
                   int start, int flags);

// Marks the X and Y columns to print: a column whose expression (blanks and
// case aside) was printed before by an earlier curve, or a Y equal to its own
// X, is left out.
void ChooseCurvePrintColumns(std::vector<NumericCurve>& curves);

class NumericOutput {
public:
    NumericOutput() = default;
    ~NumericOutput();
    NumericOutput(const NumericOutput&) = delete;
    NumericOutput& operator=(const NumericOutput&) = delete;

    // The file of this analysis. Begin creates it (emptying an old one) when
    // `wanted`, and forgets that the header was written; it is called when an
    // analysis starts and when a series of runs is set up. 0 or the result
    // code of the create (the stream then stays closed).
    void SetPath(const std::string& path) { path_ = path; }
    const std::string& Path() const { return path_; }
    int Begin(bool wanted);
    // Opens the file for appending when it is closed (message routing).
    int Reopen();
    int Close();
    bool IsOpen() const { return file_.mode == TextFile::kWriting; }
    int Error() const { return file_.error; }
    // The normal end of an analysis: an empty file is deleted. True when it was.
    bool RemoveIfEmpty();

    // The report width (WIDTH) and the kind's column delimiter.
    int width = 80;
    char delimiter = ' ';
    FormatSpec valueFormat;  // the operating-point format preference
    bool headerWritten = false;
    bool curveOutputWanted = false;
    bool messagesWritten = false;

    // "\n<title>\n" and a row of "=" as long as the title.
    void WriteSectionTitle(const std::string& title);
    // The title block: the three templates between rows of "*" (empty ones
    // left out).
    void WriteTitleBlock(const std::string templates[3]);
    // "Limits" and the kind's limits and run options (IncludeAnalysisLimits).
    void WriteLimitsHeader(const AnalysisKindSettings& settings, int kind);
    // The run caption box: lines centred between rows of asterisks, at least
    // 2 * WIDTH / 3 - 8 wide inside; then the caption on one line.
    void WriteCaptionBox(const std::string& caption);
    void WriteOperatingPoint(const OperatingPointData& data);
    // The model parameter tables and the device sections, each in blocks of
    // as many devices as WIDTH holds; the widths are measured in a first pass.
    void WriteDeviceTables(const std::vector<ModelParameterTable>& models,
                           const std::vector<DeviceTableSection>& sections, bool includeModels, bool includeDevices,
                           bool includeZero, bool includeUndefined);
    // The curve tables of a run: n rows sampled evenly over start..end (the
    // Log frequency step multiplies instead), then the FFT curves at their
    // stored points. Writes nothing when no curve stored a point.
    void WriteCurveTables(CurvePointSource& source, std::vector<NumericCurve>& curves, double start, double end, int n,
                          bool logStep);
    // A routed message: "<caption> <text>".
    void WriteMessage(const std::string& caption, const std::string& text);

    // The analysis the file reports on: its kind and limits (null: none), read
    // by the header and the switches.
    const AnalysisKindSettings* settings = nullptr;
    int kind = 0;
    bool Switch(int which) const;
    // Once per analysis: the title block of the kind's three header texts and,
    // with IncludeAnalysisLimits, the limits header.
    void WriteHeaderOnce();
    // The header, then the caption box of run `run` (from 1; 0 writes no
    // caption) when any of the waveform, model or operating-point switches is
    // on.
    void WriteRunHeader(int run, const std::string& caption);

    void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    struct Writer;
    void WriteDeviceSection(Writer& w, const DeviceTableSection& section);
    void WriteModelTable(Writer& w, const ModelParameterTable& table, bool includeZero, bool includeUndefined);
    void WriteCurveGroup(CurvePointSource& source, std::vector<NumericCurve>& curves, bool fft, double start,
                         double end, int n, bool logStep, bool measuring);

    std::string path_;
    TextFile file_;
};

// The numeric output messages are routed to while an analysis runs (null:
// none); the shell's message logs hand them over through this.
void SetRoutedNumericOutput(NumericOutput* output);
NumericOutput* RoutedNumericOutput();
// Routes a message to the numeric output (reopening it to append when closed):
// false when there is none.
bool RouteMessageToNumericOutput(const char* caption, const char* text);
