// The analysis settings sections: each written and read back gives the same
// values, and the key groups write exactly their keys under each version.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/memory.h"
#include "core/sectionfile.h"
#include "document/cfanalysis.h"
#include "document/circuitfile.h"
#include "document/cirdoc.h"
#include "document/cirio.h"
#include "shell/preferences.h"
#include "tests/support/tempdir.h"

namespace {

constexpr int32_t cfat_V520 = 0x50014, cfat_V600 = 0x60000, cfat_V700 = 0x70000, cfat_V801 = 0x80001;

// Writes through `body` into a temporary file and hands back the text.
std::string cfat_Write(int32_t version, const std::function<void(SectionFile&)>& body) {
    twtest::TempDir dir("cfat");
    if (!dir.Valid()) return "mkdtemp failed";
    const std::string path = dir.File("a.cir");
    {
        CircuitFile out;
        if (out.CreateText(path.c_str()) != 0) return "create failed";
        out.targetVersion = version;
        out.version = version;
        body(out);
        out.Close();
    }
    std::string text;
    if (FILE* f = fopen(path.c_str(), "rb")) {
        char chunk[4096];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
        fclose(f);
    }
    return text;
}

// Reads every section of `text`, handing each to `serve` with its header
// just read; a non-zero result ends the read.
int cfat_Read(const std::string& text, int32_t version,
              const std::function<int(SectionFile&, const std::string&)>& serve) {
    CircuitFile in;
    std::string copy = text;
    in.AttachMemory(copy.data(), long(copy.size()), false);
    in.targetVersion = version;
    in.version = version;
    if (in.ReadLongLine() != 0 || in.lineBuffer == nullptr || in.lineBuffer[0] != '[') return -1;
    std::string header = in.lineBuffer;
    for (;;) {
        int result = serve(in, header);
        if (result != 0) return result;
        if (in.currentSection[0] == 0) return 0;
        header = in.currentSection;
    }
}

int cfat_Serve(SectionFile& file, const std::string& header, AnalysisSettings* settings) {
    if (header == "[Limits]") return SerializeLimitsSection(file, settings);
    if (header == "[Stepping]") return SerializeSteppingSection(file, settings);
    if (header == "[Monte Carlo Options]") return SerializeMonteCarloOptionsSection(file, settings);
    if (header == "[WaveForm]") return SerializeWaveFormSection(file, settings, -1);
    if (header == "[Analysis]") return SerializeAnalysisSection(file, settings);
    static const char* const windows[] = {"[FFT]", "[Performance]", "[Graph 3D]", "[Monte Carlo]"};
    for (int type = 0; type < 4; ++type)
        if (header == windows[type]) return SerializeAnalysisWindowSection(file, settings, type);
    if (header == "[AObject]") return ReadPlotObject(static_cast<CircuitFile&>(file), settings);
    if (header == "[FFT WaveForm]") return SerializeWindowCurveSection(file, settings, kWindowFFT);
    if (header == "[Performance WaveForm]") return SerializeWindowCurveSection(file, settings, kWindowPerformance);
    static const char* const plots[] = {"[Transient]", "[AC]", "[DC]", "[Distortion]"};
    for (int kind = 0; kind < 4; ++kind)
        if (header == plots[kind]) return SerializePlotWindowSection(file, settings, kind);
    return file.SkipSection();
}

void cfat_ReadInto(const std::string& text, int32_t version, AnalysisSettings& settings) {
    ASSERT_EQ(
        cfat_Read(text, version, [&](SectionFile& f, const std::string& h) { return cfat_Serve(f, h, &settings); }), 0);
}

// The key names of the lines of `text`, headers as "[...]".
std::vector<std::string> cfat_Keys(const std::string& text) {
    std::vector<std::string> keys;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty()) keys.push_back(line.substr(0, line.find('=')));
        start = end + 2;
    }
    return keys;
}

bool cfat_Has(const std::string& text, const std::string& line) {
    return text.find("\r\n" + line + "\r\n") != std::string::npos || text.rfind(line + "\r\n", 0) == 0;
}

const char* cfat_Str(const char* text) { return text != nullptr ? text : ""; }

}  // namespace

TEST(CfAnalysisTranslators, NamesAndFields) {
    struct Case {
        int value;
        const char* name;
    };
    for (Case c : std::vector<Case>{{0, "None"}, {1, "Linear"}, {2, "Log"}, {3, "List"}, {7, ""}})
        EXPECT_STREQ(SteppingMethodName(c.value, false), c.name);
    EXPECT_STREQ(SteppingMethodName(0, true), "Auto");
    for (Case c : std::vector<Case>{{0, "auto"}, {1, "LINEAR"}, {2, "log"}, {3, "List"}, {0, "x"}})
        EXPECT_EQ(ParseSteppingMethod(c.name), c.value) << c.name;
    for (Case c : std::vector<Case>{{0, "Linear"}, {2, "Log"}, {1, "List"}, {5, "List"}})
        EXPECT_STREQ(TemperatureTypeName(c.value), c.name);
    for (Case c : std::vector<Case>{{0, "linear"}, {1, "LIST"}, {2, "Log"}, {1, "junk"}})
        EXPECT_EQ(ParseTemperatureType(c.name), c.value) << c.name;
    for (Case c : std::vector<Case>{{4, "model"}, {8, "Component"}, {32, "SYMBOLIC"}, {128, "Variable"}, {0, "Other"}})
        EXPECT_EQ(ParseSteppingTarget(c.name), c.value) << c.name;
    EXPECT_STREQ(SteppingTargetName(0x08 | 0x80), "Component");
    EXPECT_STREQ(SteppingTargetName(0x13), "");

    EXPECT_FALSE(IsSetText("None"));
    EXPECT_FALSE(IsSetText("0"));
    EXPECT_FALSE(IsSetText(""));
    EXPECT_TRUE(IsSetText("1k"));

    int mode = -1;
    double value = -1;
    ParseMinMaxField("max", &mode, &value);
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(value, 0);
    ParseMinMaxField("4.7k", &mode, &value);
    EXPECT_EQ(mode, 0);
    EXPECT_DOUBLE_EQ(value, 4700);
    ParseMinMaxField("rubbish", &mode, &value);
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(value, 0);
    char buffer[40];
    FormatMinMaxField(buffer, sizeof buffer, 1, 5);
    EXPECT_STREQ(buffer, "MIN");
}

TEST(CfAnalysisTranslators, OptionWordPacking) {
    int stateVariable = -1, runOption = -1, waveform = -1;
    // A 7.00 OPT with 0x3000 on row 1 is waveform selection 3.
    EXPECT_EQ(UnpackOptionWord(0x3000 | 0x800 | 0x100 | 0x5, &stateVariable, &runOption, &waveform, true), 0x5);
    EXPECT_EQ(stateVariable, 2);
    EXPECT_EQ(runOption, 1);
    EXPECT_EQ(waveform, 3);
    // Other rows keep those bits as option bits.
    EXPECT_EQ(UnpackOptionWord(0x3000 | 0x400, &stateVariable, &runOption, &waveform, false), 0x3000);
    EXPECT_EQ(stateVariable, 1);
    // Mode 3 (Retrace) cannot be packed.
    EXPECT_EQ(PackOptionWord(0x1, 3, 2, 2, true), 0x1 | 0x200 | 0x2000);
    EXPECT_EQ(PackOptionWord(0x1, 1, 0, 2, false), 0x1 | 0x400);
}

TEST(CfAnalysisTranslators, NumberFormatKeyFollowsVersion) {
    struct Case {
        int32_t version;
        const char* format;
        const char* expected;
    };
    const std::vector<Case> cases = {{cfat_V801, "3G", "F=3G\r\n"},
                                     {cfat_V520, "3E", "F=3E\r\n"},
                                     {cfat_V520, "4G", "F=5.4\r\n"},
                                     {cfat_V520, "6", "F=5.6\r\n"},
                                     {cfat_V801, "", ""}};
    for (const Case& c : cases) {
        std::string text = cfat_Write(c.version, [&](SectionFile& f) { WriteNumberFormatKey(f, "F", c.format); });
        EXPECT_EQ(text, c.expected) << c.format;
    }
}

TEST(CfAnalysisGroups, KeyNamesAndVersionGates) {
    struct Case {
        int32_t version;
        int documentKind;
        std::vector<std::string> keys;
    };
    // Grid group written for an analysis plot window.
    const std::vector<Case> cases = {
        {cfat_V520, 5, {"Analysis Grid Color", "Analysis Graph Background", "ScaleColor", "Same Y Scales"}},
        {cfat_V600,
         0,
         {"Grid Color", "Graph Background", "Tracker Intercept", "Tracker Mouse", "Tracker Cursor", "Horizontal Cursor",
          "ScaleColor", "Same Y Scales"}},
        {cfat_V700,
         5,
         {"Analysis Grid Color", "Grid Weight", "Grid Pattern", "Tracker Foreground", "Tracker Background",
          "Baseline color", "Static Grids", "Analysis Graph Background", "Tracker Intercept", "Tracker Mouse",
          "Tracker Cursor", "Horizontal Cursor", "ScaleColor", "Same Y Scales"}},
        {cfat_V801, 5, {"Grid Color",         "Grid Weight",        "Grid Pattern",
                        "Tracker Foreground", "Tracker Background", "Baseline color",
                        "Static Grids",       "MinorLog25",         "LabelMinor",
                        "Graph Background",   "Tracker Intercept",  "Tracker Mouse",
                        "Tracker Cursor",     "Horizontal Cursor",  "Same Y Scales",
                        "Enable X Scaling",   "Enable Y Scaling",   "Keep X Scales The Same",
                        "Number of Grids X",  "Number of Grids Y"}},
    };
    for (const Case& c : cases) {
        PlotWindowSettings window;
        window.gridPattern = 2;
        std::string text = cfat_Write(c.version, [&](SectionFile& f) {
            AnalysisRows rows;
            int32_t scaleColor = 0;
            AddGridGroup(f, window, c.documentKind, scaleColor, rows);
            WriteProperties(f, rows.rows, rows.count);
        });
        EXPECT_EQ(cfat_Keys(text), c.keys) << std::hex << c.version;
        if (c.version < cfat_V801) {
            EXPECT_TRUE(cfat_Has(text, "ScaleColor=On"));
        }
    }

    // Window and title groups of an old analysis plot and of a current one.
    const std::vector<Case> windowCases = {
        {cfat_V700,
         5,
         {"Analysis Text", "Object Default", "Analysis Window Background", "Title", "AutoTitle", "PrintPreview"}},
        {cfat_V801, 5, {"Font", "WinBackGround Color", "Title", "AutoTitle", "ShowWin", "PrintPreview"}},
    };
    for (const Case& c : windowCases) {
        PlotWindowSettings window;
        window.previewFlag = 1;
        std::string text = cfat_Write(c.version, [&](SectionFile& f) {
            AnalysisRows rows;
            RangeRef preview{};
            AddWindowGroup(f, window, c.documentKind, rows);
            AddTitleGroup(f, window, 0, preview, rows);
            WriteProperties(f, rows.rows, rows.count);
        });
        EXPECT_EQ(cfat_Keys(text), c.keys) << std::hex << c.version;
    }
}

TEST(CfAnalysisGroups, CurveRowsWrittenAndReadBack) {
    PlotRangeCurve curve;
    curve.display.lineColor = 12;
    curve.display.textColor = 3;
    curve.display.lineWidth = 3;
    curve.display.pattern = 2;
    curve.display.pointStyle = kPointOpenBubbles;
    curve.plotNumber = 2;
    curve.aliasId = 7;
    curve.autoScaleX = 0;
    curve.rangeMaxX = 1e-3;
    curve.gridY = 0.25;
    curve.linearX = 1;
    ParseFormatSpec(&curve.formats.valueX, "4G");
    SetString(&curve.formats.scaleUnitsY, "mV");
    auto body = [](PlotRangeCurve& c) {
        return [&c](SectionFile& f) {
            AnalysisRows rows;
            AddPlotRangeGroup(f, c, rows);
            SerializeSection(f, "FFT WaveForm", rows.rows, rows.count);
        };
    };
    std::string text = cfat_Write(cfat_V801, body(curve));
    EXPECT_TRUE(cfat_Has(text, "ScaleUnitsY=\"mV\""));
    EXPECT_FALSE(cfat_Has(text, "Color=12"));  // the old single colour key is for 5.20
    EXPECT_EQ(text.find("LinearY"), std::string::npos);

    PlotRangeCurve back;
    ASSERT_EQ(cfat_Read(text, cfat_V801,
                        [&](SectionFile& f, const std::string&) {
                            AnalysisRows rows;
                            AddPlotRangeGroup(f, back, rows);
                            return SerializeSection(f, nullptr, rows.rows, rows.count);
                        }),
              0);
    EXPECT_EQ(back.display.lineColor, 12);
    EXPECT_EQ(back.display.textColor, 3);
    EXPECT_EQ(back.display.lineWidth, 3);
    EXPECT_EQ(back.display.pattern, 2);
    EXPECT_EQ(back.display.pointStyle, kPointOpenBubbles);
    EXPECT_EQ(back.plotNumber, 2);
    EXPECT_EQ(back.aliasId, 7);
    EXPECT_EQ(back.autoScaleX, 0);
    EXPECT_DOUBLE_EQ(back.rangeMaxX, 1e-3);
    EXPECT_DOUBLE_EQ(back.gridY, 0.25);
    EXPECT_EQ(back.linearX, 1);
    EXPECT_EQ(back.linearY, -1);
    EXPECT_STREQ(back.formats.valueX.text, curve.formats.valueX.text);
    EXPECT_STREQ(cfat_Str(back.formats.scaleUnitsY), "mV");
    FreeString(&curve.formats.scaleUnitsY);
    FreeString(&back.formats.scaleUnitsY);

    // A 5.20 curve keeps its line colour in "Color" and has no alias.
    std::string old = cfat_Write(cfat_V520, body(curve));
    EXPECT_TRUE(cfat_Has(old, "Color=12"));
    EXPECT_EQ(old.find("AliasID"), std::string::npos);
    EXPECT_EQ(old.find("Line Color"), std::string::npos);
}

TEST(CfAnalysisSections, PlotWindowRoundTripAndFFTDefaults) {
    AnalysisSettings settings;
    for (int kind = 0; kind < 4; ++kind) settings.kinds[kind].present = kind != 2;  // DC never ran
    AnalysisKindSettings& tran = settings.kinds[0];
    SetString(&tran.window.title, "Run 1");
    tran.window.autoTitle = 0;
    tran.window.gridWeight = 3;
    tran.window.cursorPrimary = 9;
    tran.monitor[0] = 4;
    tran.thumbnail[2] = 100;
    SetString(&tran.fft.max, "TMAX");  // the default: not written
    SetString(&tran.fft.min, "1u");
    SetString(&tran.userFileName, "out.txt");
    tran.numOutWrite[3] = 1;
    SetString(&settings.kinds[1].fft.min, "10");  // AC never writes FFT_Min
    SetString(&settings.kinds[1].fft.max, "1Meg");

    auto writeAll = [&](AnalysisSettings& s) {
        return [&s](SectionFile& f) {
            for (int kind = 0; kind < 4; ++kind) SerializePlotWindowSection(f, &s, kind);
        };
    };
    std::string text = cfat_Write(cfat_V801, writeAll(settings));
    EXPECT_EQ(text.find("[DC]"), std::string::npos);
    EXPECT_NE(text.find("[Distortion]"), std::string::npos);
    EXPECT_EQ(text.find("FFT_Max=\"TMAX\""), std::string::npos);
    EXPECT_NE(text.find("FFT_Min=\"1u\""), std::string::npos);
    EXPECT_NE(text.find("FFT_Max=\"1Meg\""), std::string::npos);
    EXPECT_EQ(text.find("FFT_Min=\"10\""), std::string::npos);

    AnalysisSettings back;
    cfat_ReadInto(text, cfat_V801, back);
    EXPECT_EQ(back.kinds[2].present, 0);
    EXPECT_EQ(back.kinds[3].present, 1);
    const AnalysisKindSettings& t = back.kinds[0];
    EXPECT_STREQ(cfat_Str(t.window.title), "Run 1");
    EXPECT_EQ(t.window.autoTitle, 0);
    EXPECT_EQ(t.window.gridWeight, 3);
    EXPECT_EQ(t.window.cursorPrimary, 9);
    EXPECT_EQ(t.monitor[0], 4);
    EXPECT_EQ(t.thumbnail[2], 100);
    EXPECT_EQ(t.fft.max, nullptr);
    EXPECT_STREQ(cfat_Str(t.fft.min), "1u");
    EXPECT_STREQ(cfat_Str(t.userFileName), "out.txt");
    EXPECT_EQ(t.numOutWrite[3], 1);
    // Written again, the same text.
    EXPECT_EQ(cfat_Write(cfat_V801, writeAll(back)), text);

    // A 7.00 file: the short form for kinds 0-2, no Distortion; a grid weight
    // of 1 moves the old patterns 1-4 to 6-9 on reading.
    tran.window.gridWeight = 1;
    tran.window.gridPattern = 2;
    std::string old = cfat_Write(cfat_V700, writeAll(settings));
    EXPECT_EQ(cfat_Keys(old),
              (std::vector<std::string>{"[Transient]", "Title", "AutoTitle", "Grid Weight", "Grid Pattern",
                                        "Static Grids", "[AC]", "AutoTitle", "Grid Weight", "Static Grids", "[DC]",
                                        "AutoTitle", "Grid Weight", "Static Grids"}));
    AnalysisSettings oldBack;
    cfat_ReadInto(old, cfat_V700, oldBack);
    EXPECT_EQ(oldBack.kinds[0].window.gridPattern, 7);

    // Grid counts below 2 are raised on reading.
    AnalysisSettings few;
    cfat_ReadInto("[AC]\r\nNumber of Grids X=0\r\nNumber of Grids Y=1\r\n", cfat_V801, few);
    EXPECT_EQ(few.kinds[1].window.gridsX, 2);
    EXPECT_EQ(few.kinds[1].window.gridsY, 2);
    EXPECT_EQ(few.kinds[1].present, 1);
}

TEST(CfAnalysisSections, OldCombinedAnalysisSection) {
    AnalysisSettings settings;
    PlotWindowSettings& tran = settings.kinds[0].window;
    SetString(&tran.title, "Transient plot");
    tran.autoTitle = 0;
    tran.gridColor = 7;
    tran.gridWeight = 1;
    tran.gridPattern = 3;
    tran.font.height = -12;
    settings.kinds[1].reduceSave = 4;
    settings.kinds[2].saveForFuture = 1;
    SetString(&settings.kinds[0].numOutHeaders[1], "Center");
    auto write = [&](int32_t version) {
        return cfat_Write(version, [&](SectionFile& f) { SerializeAnalysisSection(f, &settings); });
    };
    EXPECT_EQ(write(cfat_V801), "");
    const std::string text = write(cfat_V700);
    for (const char* line : {"Analysis Grid Color=7", "A.Reduce_Save=4", "D.Save_For_Future=Yes",
                             "Num Out Header Center=Center", "ScaleColor=On"})
        EXPECT_TRUE(cfat_Has(text, line)) << line;
    EXPECT_NE(text.find("Analysis Text="), std::string::npos);

    // The AC plot read before keeps its own title and grid style; the
    // distortion plot, which has no section of its own, takes the transient's.
    AnalysisSettings back;
    cfat_ReadInto("[AC]\r\nTitle=AC plot\r\nAutoTitle=No\r\nGrid Weight=2\r\n\r\n" + text, cfat_V700, back);
    for (int kind = 0; kind <= 2; ++kind) EXPECT_EQ(back.kinds[kind].present, 1);
    EXPECT_STREQ(cfat_Str(back.kinds[1].window.title), "AC plot");
    EXPECT_EQ(back.kinds[1].window.gridWeight, 2);
    EXPECT_EQ(back.kinds[1].window.gridColor, 7);
    EXPECT_EQ(back.kinds[1].window.font.height, -12);
    EXPECT_STREQ(cfat_Str(back.kinds[3].window.title), "Transient plot");
    EXPECT_EQ(back.kinds[3].window.gridPattern, 8);  // old pattern 3 at weight 1
    EXPECT_EQ(back.kinds[1].reduceSave, 4);
    EXPECT_EQ(back.kinds[2].saveForFuture, 1);
    EXPECT_STREQ(cfat_Str(back.kinds[0].numOutHeaders[1]), "Center");
}

TEST(CfAnalysisSections, AnalysisWindowsRoundTrip) {
    AnalysisSettings settings;
    auto addWindow = [&](int kind, int type) -> AnalysisWindow& {
        settings.kinds[kind].windows.emplace_back(new AnalysisWindow());
        AnalysisWindow& w = *settings.kinds[kind].windows.back();
        w.type = type;
        return w;
    };
    auto addCurve = [](AnalysisWindow& w) -> WindowCurve& {
        w.curves.emplace_back(new WindowCurve());
        return *w.curves.back();
    };
    AnalysisWindow& fft = addWindow(0, kWindowFFT);
    SetString(&fft.window.title, "Spectrum");
    SetString(&addCurve(fft).expression, "v(out)");
    addCurve(fft).quantity = 2;
    for (const char* title : {"First", "Second"}) {
        AnalysisWindow& perf = addWindow(1, kWindowPerformance);
        SetString(&perf.window.title, title);
        perf.options = 3;
        WindowCurve& curve = addCurve(perf);
        SetString(&curve.function.expression, "Peak(db(v(out)),1)");
        curve.cases.stepping[4] = 2;
    }
    AnalysisWindow& surface = addWindow(2, kWindow3D);
    SetString(&surface.expression, "v(2)");
    surface.rotation[1] = 30;
    surface.contour = 1;
    SetString(&surface.function.expression, "Width(v(2),1)");
    AnalysisWindow& hist = addWindow(0, kWindowMonteCarlo);
    hist.cases.temperature = 1;
    hist.cases.monteCarlo = 5;  // histograms keep only the temperature case
    hist.autoScale = 0;
    SetString(&hist.rangeHigh, "5m");

    auto writeAll = [&](AnalysisSettings& s) {
        return [&s](SectionFile& f) {
            for (int type = 0; type < 4; ++type) SerializeAnalysisWindowSection(f, &s, type);
        };
    };
    const std::string text = cfat_Write(cfat_V801, writeAll(settings));
    // Two AC performance windows, in list order, each followed by its curve.
    const size_t first = text.find("Title=First");
    const size_t second = text.find("Title=Second");
    ASSERT_NE(first, std::string::npos);
    ASSERT_NE(second, std::string::npos);
    EXPECT_LT(text.find("[Performance WaveForm]", first), second);
    EXPECT_NE(text.find("[Performance]\r\nAnalysis=AC"), std::string::npos);
    const size_t histAt = text.find("[Monte Carlo]");
    ASSERT_NE(histAt, std::string::npos);
    EXPECT_NE(text.find("TempCase=1", histAt), std::string::npos);
    EXPECT_EQ(text.find("MCCase", histAt), std::string::npos);
    EXPECT_EQ(text.find("SteppingCase", histAt), std::string::npos);

    AnalysisSettings back;
    cfat_ReadInto(text, cfat_V801, back);
    ASSERT_EQ(back.kinds[0].windows.size(), 2u);
    ASSERT_EQ(back.kinds[1].windows.size(), 2u);
    ASSERT_EQ(back.kinds[2].windows.size(), 1u);
    const AnalysisWindow& fftBack = *back.kinds[0].windows[0];
    EXPECT_EQ(fftBack.type, kWindowFFT);
    ASSERT_EQ(fftBack.curves.size(), 2u);
    EXPECT_STREQ(cfat_Str(fftBack.curves[0]->expression), "v(out)");
    EXPECT_EQ(fftBack.curves[1]->quantity, 2);
    const AnalysisWindow& perfBack = *back.kinds[1].windows[1];
    EXPECT_STREQ(cfat_Str(perfBack.window.title), "Second");
    ASSERT_EQ(perfBack.curves.size(), 1u);
    EXPECT_STREQ(cfat_Str(perfBack.curves[0]->function.expression), "Peak(db(v(out)),1)");
    EXPECT_EQ(perfBack.curves[0]->cases.stepping[4], 2);
    EXPECT_EQ(back.kinds[1].windows[0]->curves.size(), 1u);
    const AnalysisWindow& surfaceBack = *back.kinds[2].windows[0];
    EXPECT_STREQ(cfat_Str(surfaceBack.expression), "v(2)");
    EXPECT_STREQ(cfat_Str(surfaceBack.function.expression), "Width(v(2),1)");
    EXPECT_DOUBLE_EQ(surfaceBack.rotation[1], 30);
    EXPECT_EQ(surfaceBack.contour, 1);
    const AnalysisWindow& histBack = *back.kinds[0].windows[1];
    EXPECT_EQ(histBack.cases.temperature, 1);
    EXPECT_STREQ(cfat_Str(histBack.rangeHigh), "5m");
    EXPECT_EQ(cfat_Write(cfat_V801, writeAll(back)), text);

    // 7.00: no FFT windows, and a histogram always has 11 intervals.
    const std::string old = cfat_Write(cfat_V700, writeAll(settings));
    EXPECT_EQ(old.find("[FFT]"), std::string::npos);
    EXPECT_TRUE(cfat_Has(old, "Intervals=11"));
}

TEST(CfAnalysisSections, AnalysisWindowsOddInput) {
    // A performance window of a dynamic kind and an FFT window of AC are
    // ignored with their curves; a 6.00 3D window rebuilds its function.
    const std::string text =
        "[Performance]\r\nTitle=Lost\r\nAnalysis=DynamicAC\r\nTitle=Lost too\r\n"
        "[Performance WaveForm]\r\nPMExpression=x\r\n"
        "[FFT]\r\nAnalysis=AC\r\n[FFT WaveForm]\r\nExpression=v(1)\r\n"
        "[Graph 3D]\r\nAnalysis=Transient\r\nFunction=Rise_Time\r\nExpression=v(3)\r\n"
        "Arg 0=0.1\r\nArg 1=0.9\r\nAnalysis=AC\r\nTitle=Not mine\r\n";
    AnalysisSettings back;
    cfat_ReadInto(text, cfat_V600, back);
    for (const AnalysisKindSettings& k : back.kinds)
        for (const auto& w : k.windows) EXPECT_EQ(w->type, kWindow3D);
    ASSERT_EQ(back.kinds[0].windows.size(), 1u);
    EXPECT_STREQ(cfat_Str(back.kinds[0].windows[0]->function.expression), "Rise_Time(v(3),0.1,0.9)");
    EXPECT_EQ(back.kinds[0].windows[0]->window.title, nullptr);
}

TEST(CfAnalysisSections, PlotObjectsFollowTheirWindow) {
    AnalysisSettings settings;
    settings.kinds[0].present = 1;
    settings.kinds[1].present = 1;
    auto add = [&](PlotObjectList& list, int type) -> PlotObject& {
        list.emplace_back(new PlotObject());
        list.back()->type = type;
        list.back()->style.color = 2;
        return *list.back();
    };
    PlotObject& poly = add(settings.kinds[0].objects, 11);
    poly.first = 1;
    for (int i = 0; i < 5; ++i)
        poly.vertices.push_back(PlotVertex{i == 0 ? 1 : 0, i == 4 ? 2 : 0, i * 0.5, i == 4 ? 0 : 1e-3 * i});
    PlotObject& note = add(settings.kinds[0].objects, 12);
    SetString(&note.text, "Peak\r\nhere");
    note.font.height = -10;
    note.corners[2] = 2.5e-6;
    PlotObject& measure = add(settings.kinds[1].objects, 7);
    measure.plot = 0;
    measure.plot2 = 1;
    measure.measure = 1e3;
    measure.alias1 = 4;

    auto write = [&](AnalysisSettings& s) {
        return [&s](SectionFile& f) {
            for (int kind = 0; kind < 2; ++kind) SerializePlotWindowSection(f, &s, kind);
        };
    };
    const std::string text = cfat_Write(cfat_V801, write(settings));
    const size_t objectAt = text.find("[AObject]\r\nAnalysis=Transient\r\nObject=Poly");
    ASSERT_NE(objectAt, std::string::npos);
    EXPECT_LT(objectAt, text.find("[AC]"));
    EXPECT_NE(text.find("Pos=MIN,0\r\n"), std::string::npos);
    EXPECT_NE(text.find("Text=Peak\xFEhere"), std::string::npos);

    AnalysisSettings back;
    cfat_ReadInto(text, cfat_V801, back);
    ASSERT_EQ(back.kinds[0].objects.size(), 2u);
    ASSERT_EQ(back.kinds[1].objects.size(), 1u);
    const PlotObject& polyBack = *back.kinds[0].objects[0];
    ASSERT_EQ(polyBack.vertices.size(), 5u);
    EXPECT_EQ(polyBack.vertices[0].modeX, 1);
    EXPECT_EQ(polyBack.vertices[4].modeY, 2);
    EXPECT_DOUBLE_EQ(polyBack.vertices[3].y, 3e-3);
    EXPECT_EQ(polyBack.first, 1);
    EXPECT_STREQ(cfat_Str(back.kinds[0].objects[1]->text), "Peak\r\nhere");
    EXPECT_DOUBLE_EQ(back.kinds[0].objects[1]->corners[2], 2.5e-6);
    EXPECT_EQ(back.kinds[1].objects[0]->plot2, 1);
    EXPECT_EQ(back.kinds[1].objects[0]->alias1, 4);
    EXPECT_DOUBLE_EQ(back.kinds[1].objects[0]->measure, 1e3);
    EXPECT_EQ(cfat_Write(cfat_V801, write(back)), text);

    // A 5.20 file keeps the type and colours of its objects, but no polygons.
    const std::string old = cfat_Write(cfat_V520, [&](SectionFile& f) { SerializeAnalysisSection(f, &settings); });
    EXPECT_EQ(old.find("Object=Poly"), std::string::npos);
    AnalysisSettings oldBack;
    cfat_ReadInto(old, cfat_V520, oldBack);
    ASSERT_EQ(oldBack.kinds[0].objects.size(), 1u);
    EXPECT_EQ(oldBack.kinds[0].objects[0]->type, 12);
    EXPECT_EQ(oldBack.kinds[0].objects[0]->style.color, 2);
    ASSERT_EQ(oldBack.kinds[1].objects.size(), 1u);
    EXPECT_EQ(oldBack.kinds[1].objects[0]->type, 7);

    // Unknown types are dropped; a line without a border colour gets one.
    AnalysisSettings odd;
    cfat_ReadInto(
        "[AObject]\r\nAnalysis=AC\r\nObject=Blob\r\n"
        "[AObject]\r\nAnalysis=AC\r\nObject=Line\r\nCBorder=NONE\r\n",
        cfat_V801, odd);
    ASSERT_EQ(odd.kinds[1].objects.size(), 1u);
    EXPECT_EQ(odd.kinds[1].objects[0]->style.color, 4);
}

TEST(CfAnalysisSections, LimitsRoundTrip) {
    AnalysisSettings settings;
    const char* const tranTexts[] = {"1u", "10n", "51", "27", "1"};
    for (int i = 0; i < 5; ++i) SetString(&settings.kinds[0].limits[i], tranTexts[i]);
    SetString(&settings.kinds[2].limits[0], "V1 0 5 0.1");
    settings.kinds[2].sweepType = 2;
    settings.kinds[2].sweep2Type = 3;
    settings.kinds[1].sweepType = 3;
    settings.kinds[1].waveformSelect = 2;
    settings.kinds[1].stateVariable = 2;  // Leave
    settings.kinds[1].runOption = 1;
    settings.kinds[1].optionWord = 0x41;
    settings.kinds[3].ampMethod = 2;
    settings.kinds[3].temperatureType = 0;
    settings.kinds[4].firstDisplay = 1;
    settings.kinds[4].secondDisplay = 2;
    settings.kinds[4].textGrid[0] = 3;
    settings.kinds[4].textGrid[1] = 4;
    settings.kinds[5].placeText = 1;
    SetString(&settings.kinds[5].limits[1], "5");
    for (int kind = 0; kind < 4; ++kind) settings.kinds[kind].present = 1;

    auto write = [&](AnalysisSettings& s) { return [&s](SectionFile& f) { SerializeLimitsSection(f, &s); }; };
    std::string text = cfat_Write(cfat_V801, write(settings));
    EXPECT_TRUE(cfat_Has(text, "StateVar=Leave"));
    EXPECT_TRUE(cfat_Has(text, "Sweep type=List"));
    EXPECT_TRUE(cfat_Has(text, "TextGrid=3,4"));

    AnalysisSettings back;
    cfat_ReadInto(text, cfat_V801, back);
    for (int i = 0; i < 5; ++i) EXPECT_STREQ(cfat_Str(back.kinds[0].limits[i]), tranTexts[i]);
    EXPECT_STREQ(cfat_Str(back.kinds[2].limits[0]), "V1 0 5 0.1");
    EXPECT_EQ(back.kinds[2].sweepType, 2);
    EXPECT_EQ(back.kinds[2].sweep2Type, 3);
    EXPECT_EQ(back.kinds[1].sweepType, 3);
    EXPECT_EQ(back.kinds[1].waveformSelect, 2);
    EXPECT_EQ(back.kinds[1].stateVariable, 2);
    EXPECT_EQ(back.kinds[1].runOption, 1);
    EXPECT_EQ(back.kinds[1].optionWord, 0x41);
    EXPECT_EQ(back.kinds[3].ampMethod, 2);
    EXPECT_EQ(back.kinds[3].temperatureType, 0);
    EXPECT_EQ(back.kinds[4].firstDisplay, 1);
    EXPECT_EQ(back.kinds[4].secondDisplay, 2);
    EXPECT_EQ(back.kinds[4].textGrid[1], 4);
    EXPECT_EQ(back.kinds[5].placeText, 1);
    EXPECT_STREQ(cfat_Str(back.kinds[5].limits[1]), "5");
    EXPECT_EQ(cfat_Write(cfat_V801, write(back)), text);

    // Saved as 7.00: no Distortion or dynamic limits; the modes are packed
    // into OPT, and Leave (2) survives while Retrace (3) cannot.
    settings.kinds[0].stateVariable = 3;
    std::string old = cfat_Write(cfat_V700, write(settings));
    EXPECT_EQ(old.find("Analysis=Distortion"), std::string::npos);
    EXPECT_EQ(old.find("StateVar"), std::string::npos);
    EXPECT_EQ(old.find("RetraceRuns"), std::string::npos);
    AnalysisSettings oldBack;
    cfat_ReadInto(old, cfat_V700, oldBack);
    EXPECT_EQ(oldBack.kinds[1].stateVariable, 2);
    EXPECT_EQ(oldBack.kinds[1].runOption, 1);
    EXPECT_EQ(oldBack.kinds[1].waveformSelect, 2);
    EXPECT_EQ(oldBack.kinds[1].optionWord, 0x41);
    EXPECT_EQ(oldBack.kinds[0].stateVariable, 0);
}

TEST(CfAnalysisSections, LimitsOddInput) {
    // "Sweep type" belongs to AC only; keys before "Analysis" or under an
    // unknown kind are ignored; 5.20 DC "I2=None" means a single sweep.
    const std::string text =
        "[Limits]\r\nTRange=9\r\nAnalysis=Transient\r\nSweep type=Log\r\nTRANGE=2m\r\n"
        "[Limits]\r\nAnalysis=Bogus\r\nNPts=77\r\n"
        "[Limits]\r\nAnalysis=DC\r\nI2=None\r\nI1=V1 0 1 1\r\n";
    AnalysisSettings back;
    cfat_ReadInto(text, cfat_V520, back);
    EXPECT_STREQ(cfat_Str(back.kinds[0].limits[0]), "2m");
    EXPECT_EQ(back.kinds[0].sweepType, 0);
    for (const AnalysisKindSettings& k : back.kinds) EXPECT_STRNE(cfat_Str(k.limits[1]), "77");
    ConvertOldDCLimits(back);
    EXPECT_EQ(back.kinds[2].sweep2Type, 0);

    // Written as 5.20 the single sweep is "I2=None" again.
    std::string old = cfat_Write(cfat_V520, [&](SectionFile& f) { SerializeLimitsSection(f, &back); });
    EXPECT_TRUE(cfat_Has(old, "I2=None"));
    EXPECT_EQ(old.find("Sweep1 type"), std::string::npos);
}

TEST(CfAnalysisSections, CurveRowsFollowTheirLimits) {
    AnalysisSettings settings;
    settings.kinds[0].present = 1;
    settings.kinds[1].present = 1;
    auto addRow = [&](int kind, const char* y) -> CurveRow& {
        settings.kinds[kind].curves.emplace_back(new CurveRow());
        CurveRow& row = *settings.kinds[kind].curves.back();
        SetString(&row.xExpression, "T");
        SetString(&row.yExpression, y);
        return row;
    };
    CurveRow& first = addRow(0, "v(out)");
    first.plotGroup = '2';
    first.options = kOutputFlag | kOutputLinearY;
    first.display.lineColor = 10;
    first.slopeUnit = 1;
    SetString(&first.worksheetTitle, "Case A");
    first.steppingCases[3] = kCountAll;
    first.temperatureCase = 2;
    addRow(0, "i(R1)");
    CurveRow& ac = addRow(1, "db(v(out))");
    ac.chartType = 2;
    SetString(&ac.smithScaleFactor, "50");

    auto write = [&](AnalysisSettings& s) { return [&s](SectionFile& f) { SerializeLimitsSection(f, &s); }; };
    std::string text = cfat_Write(cfat_V801, write(settings));
    // Each kind's rows come right after its Limits.
    const size_t tranLimits = text.find("[Limits]\r\nAnalysis=Transient");
    const size_t tranRow = text.find("[WaveForm]\r\nAnalysis=Transient\r\nPlt=2");
    const size_t acLimits = text.find("[Limits]\r\nAnalysis=AC");
    const size_t acRow = text.find("[WaveForm]\r\nAnalysis=AC");
    ASSERT_NE(tranRow, std::string::npos);
    ASSERT_NE(acRow, std::string::npos);
    EXPECT_LT(tranLimits, tranRow);
    EXPECT_LT(tranRow, acLimits);
    EXPECT_LT(acLimits, acRow);
    EXPECT_TRUE(cfat_Has(text, "WSP SteppingCase 3=All"));
    EXPECT_TRUE(cfat_Has(text, "SmithScaleFactor=\"50\""));

    AnalysisSettings back;
    cfat_ReadInto(text, cfat_V801, back);
    ASSERT_EQ(back.kinds[0].curves.size(), 2u);
    ASSERT_EQ(back.kinds[1].curves.size(), 1u);
    const CurveRow& got = *back.kinds[0].curves[0];
    EXPECT_EQ(got.plotGroup, '2');
    EXPECT_STREQ(cfat_Str(got.yExpression), "v(out)");
    EXPECT_EQ(got.options, kOutputFlag | kOutputLinearY);
    EXPECT_EQ(got.display.lineColor, 10);
    EXPECT_EQ(got.slopeUnit, 1);
    EXPECT_STREQ(cfat_Str(got.worksheetTitle), "Case A");
    EXPECT_EQ(got.steppingCases[3], kCountAll);
    EXPECT_EQ(got.temperatureCase, 2);
    EXPECT_STREQ(cfat_Str(back.kinds[0].curves[1]->yExpression), "i(R1)");
    EXPECT_EQ(back.kinds[1].curves[0]->chartType, 2);
    EXPECT_STREQ(cfat_Str(back.kinds[1].curves[0]->smithScaleFactor), "50");
    EXPECT_EQ(cfat_Write(cfat_V801, write(back)), text);

    // Files up to 6.00: fixed ranges with their grid flag get a grid spacing.
    AnalysisSettings six;
    cfat_ReadInto(
        "[WaveForm]\r\nAnalysis=Transient\r\nXRng=1u,0\r\nYRng=Auto\r\n"
        "Options=LINEARX,LINEARY\r\n"
        "[WaveForm]\r\nAnalysis=Transient\r\nXRng=10,2\r\n",
        cfat_V600, six);
    FillOldGridSpacing(six);
    ASSERT_EQ(six.kinds[0].curves.size(), 2u);
    EXPECT_STREQ(cfat_Str(six.kinds[0].curves[0]->gridX), "2e-07");  // five grids
    EXPECT_EQ(six.kinds[0].curves[0]->gridY, nullptr);
    EXPECT_EQ(six.kinds[0].curves[1]->gridX, nullptr);  // no grid flag

    // An old row's "Color" sets both colours; a row naming no plot kind is dropped.
    AnalysisSettings old;
    cfat_ReadInto(
        "[WaveForm]\r\nAnalysis=DC\r\nColor=5\r\nYExp=x\r\n"
        "[WaveForm]\r\nAnalysis=DynamicAC\r\nYExp=y\r\n",
        cfat_V520, old);
    ASSERT_EQ(old.kinds[2].curves.size(), 1u);
    EXPECT_EQ(old.kinds[2].curves[0]->display.lineColor, 5);
    EXPECT_EQ(old.kinds[2].curves[0]->display.textColor, 5);
    EXPECT_EQ(old.kinds[4].curves.size(), 0u);
}

TEST(CfAnalysisSections, SteppingRoundTripAndOldFiles) {
    AnalysisSettings settings;
    settings.kinds[0].present = 1;
    settings.kinds[1].present = 1;
    StepVariable& step = settings.kinds[1].steps[2];
    step.flags = kStepLog | kStepModel | kStepOn;
    const char* const texts[5] = {"Q1", "BF", "50", "200", "2"};
    for (int t = 0; t < 5; ++t) SetString(&step.texts[t], texts[t]);
    settings.kinds[1].simultaneous = 1;
    settings.kinds[2].steps[0].flags = kStepList | kStepOn;  // DC not present
    settings.kinds[5].present = 1;                           // Dynamic DC
    settings.kinds[5].steps[1].flags = kStepLinear | kStepVariable | kStepOn;
    SetString(&settings.kinds[5].steps[1].texts[0], "Gain");
    auto write = [&](AnalysisSettings& s) { return [&s](SectionFile& f) { SerializeSteppingSection(f, &s); }; };

    std::string text = cfat_Write(cfat_V801, write(settings));
    EXPECT_EQ(text.find("Analysis=DC"), std::string::npos);
    EXPECT_EQ(text.find("Analysis=Transient"), std::string::npos);  // only default records
    EXPECT_TRUE(cfat_Has(text, "Method=Log"));
    EXPECT_TRUE(cfat_Has(text, "Parameter Type=Model"));
    // Record 1 is otherwise unused but carries the simultaneous switch.
    EXPECT_TRUE(cfat_Has(text, "Index=1\r\nSimultaneous=Yes"));

    AnalysisSettings back;
    cfat_ReadInto(text, cfat_V801, back);
    ApplySteppingDefaults(back);
    const StepVariable& got = back.kinds[1].steps[2];
    EXPECT_EQ(got.flags, kStepLog | kStepModel | kStepOn);
    for (int t = 0; t < 5; ++t) EXPECT_STREQ(cfat_Str(got.texts[t]), texts[t]);
    EXPECT_EQ(back.kinds[1].simultaneous, 1);
    EXPECT_EQ(back.kinds[1].steps[0].flags, kStepLinear | kStepComponent);
    EXPECT_EQ(back.kinds[5].steps[1].flags, kStepLinear | kStepVariable | kStepOn);
    EXPECT_EQ(cfat_Write(cfat_V801, write(back)), text);

    // 6.00: kinds 0-2, ten records each, DC's list record included.
    std::string v6 = cfat_Write(cfat_V600, write(settings));
    EXPECT_NE(v6.find("Analysis=DC"), std::string::npos);
    EXPECT_NE(v6.find("Index=10\r\n"), std::string::npos);
    EXPECT_EQ(v6.find("Index=11\r\n"), std::string::npos);

    // Without "Analysis" a 6.00 section is ignored, a 5.20 one is the
    // transient stepping; an Index out of range selects record 1.
    const std::string bare = "[Stepping]\r\nIndex=25\r\nStatus=On\r\nName=R1\r\n";
    AnalysisSettings six;
    cfat_ReadInto(bare, cfat_V600, six);
    EXPECT_EQ(six.kinds[0].steps[0].texts[0], nullptr);
    AnalysisSettings five;
    cfat_ReadInto(bare, cfat_V520, five);
    EXPECT_STREQ(cfat_Str(five.kinds[0].steps[0].texts[0]), "R1");
    EXPECT_EQ(five.kinds[0].steps[0].flags, kStepOn);
    CopyTransientStepping(five);
    EXPECT_STREQ(cfat_Str(five.kinds[3].steps[0].texts[0]), "R1");

    // Before 6.00 only the most-stepped kind is written.
    EXPECT_EQ(MostSteppedKind(settings), 1);
    std::string v5 = cfat_Write(cfat_V520, write(settings));
    EXPECT_NE(v5.find("Name=Q1"), std::string::npos);
    EXPECT_EQ(v5.find("Analysis="), std::string::npos);
}

TEST(CfAnalysisSections, MonteCarloOptionsRoundTrip) {
    AnalysisSettings settings;
    for (int kind = 0; kind < 4; ++kind) settings.kinds[kind].present = kind != 1;
    settings.kinds[3].mcOptions = kMonteCarloOn | 3;
    settings.kinds[3].mcZeroTolerance = 1;
    SetString(&settings.kinds[3].mcRuns, "25");
    SetString(&settings.kinds[3].mcSeed, "17");
    SetString(&settings.kinds[3].mcPerformance, "Rise_Time(v(out))");
    auto write = [&](AnalysisSettings& s, int32_t version) {
        return cfat_Write(version, [&s](SectionFile& f) { SerializeMonteCarloOptionsSection(f, &s); });
    };
    std::string text = write(settings, cfat_V801);
    EXPECT_EQ(text.find("Analysis=AC"), std::string::npos);
    EXPECT_TRUE(cfat_Has(text, "Distribution=Worst Case"));

    AnalysisSettings back;
    cfat_ReadInto(text, cfat_V801, back);
    EXPECT_EQ(back.kinds[3].mcOptions, kMonteCarloOn | 3);
    EXPECT_EQ(back.kinds[3].mcZeroTolerance, 1);
    EXPECT_STREQ(cfat_Str(back.kinds[3].mcRuns), "25");
    EXPECT_STREQ(cfat_Str(back.kinds[3].mcSeed), "17");
    EXPECT_STREQ(cfat_Str(back.kinds[3].mcPerformance), "Rise_Time(v(out))");
    EXPECT_EQ(write(back, cfat_V801), text);

    // 7.00: kinds 0-2 always, no seed.
    std::string old = write(settings, cfat_V700);
    EXPECT_NE(old.find("Analysis=AC"), std::string::npos);
    EXPECT_EQ(old.find("Analysis=Distortion"), std::string::npos);
    EXPECT_EQ(old.find("Seed"), std::string::npos);
}

TEST(CfAnalysisSections, NoSettingsWritesNothingAndSkips) {
    EXPECT_EQ(cfat_Write(cfat_V801,
                         [](SectionFile& f) {
                             SerializeLimitsSection(f, nullptr);
                             SerializeSteppingSection(f, nullptr);
                             SerializeMonteCarloOptionsSection(f, nullptr);
                             SerializePlotWindowSection(f, nullptr, 0);
                         }),
              "");
    // Skipped sections still hand the next header on.
    int served = 0;
    ASSERT_EQ(cfat_Read("[Limits]\r\nAnalysis=AC\r\n[Stepping]\r\nIndex=1\r\n", cfat_V801,
                        [&](SectionFile& f, const std::string& h) {
                            ++served;
                            return h == "[Limits]" ? SerializeLimitsSection(f, nullptr)
                                                   : SerializeSteppingSection(f, nullptr);
                        }),
              0);
    EXPECT_EQ(served, 2);
}

TEST(CfAnalysisCircuitFile, SavedOpenedAndSavedAgainIsByteIdentical) {
    InstallCircuitFile();
    twtest::TempDir dir("cfat_cir");
    ASSERT_TRUE(dir.Valid());
    const std::string first = dir.File("a.cir");
    const std::string second = dir.File("b.cir");
    auto slurp = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    };

    auto doc = std::make_unique<CCirDoc>();
    doc->analysisSettings = new AnalysisSettings();
    AnalysisSettings& settings = *doc->analysisSettings;
    settings.kinds[0].present = 1;
    SetString(&settings.kinds[0].limits[0], "10u");
    SetString(&settings.kinds[0].window.title, "Pulse");
    settings.kinds[0].curves.emplace_back(new CurveRow());
    SetString(&settings.kinds[0].curves[0]->yExpression, "v(1)");
    settings.kinds[0].steps[0].flags = kStepLinear | kStepComponent | kStepOn;
    SetString(&settings.kinds[0].steps[0].texts[0], "R1");
    settings.kinds[0].mcOptions = kMonteCarloOn | 1;
    doc->fileSettings.printAutoTile[0] = 1;

    ASSERT_EQ(0, SaveCircuitFile(doc.get(), first.c_str(), 0x80001));
    const std::string text = slurp(first);
    for (const char* header : {"[Transient]", "[Limits]", "[WaveForm]", "[Stepping]", "[Monte Carlo Options]"})
        EXPECT_NE(text.find(header), std::string::npos) << header;
    EXPECT_EQ(text.find("[AC]"), std::string::npos);
    EXPECT_NE(text.find("PrinterAutoTile=Yes"), std::string::npos);

    auto copy = std::make_unique<CCirDoc>();
    {
        CircuitFile file;
        file.loadFlags = kLoadHidden | kLoadSilent;
        ASSERT_EQ(0, ReadCircuitFile(copy.get(), file, first.c_str(), true));
        file.Close();
    }
    ASSERT_NE(copy->analysisSettings, nullptr);
    EXPECT_EQ(copy->fileSettings.printAutoTile[0], 1);
    // Reading again into the same circuit replaces its analysis data.
    {
        CircuitFile file;
        file.loadFlags = kLoadHidden | kLoadSilent;
        ASSERT_EQ(0, ReadCircuitFile(copy.get(), file, first.c_str(), true));
        file.Close();
    }
    ASSERT_NE(copy->analysisSettings, nullptr);
    EXPECT_EQ(copy->analysisSettings->kinds[0].curves.size(), 1u);
    ASSERT_EQ(0, SaveCircuitFile(copy.get(), second.c_str(), 0x80001));
    EXPECT_EQ(slurp(second), text);

    // An open that skips window data leaves the circuit without analysis data.
    auto bare = std::make_unique<CCirDoc>();
    {
        CircuitFile file;
        file.loadFlags = kLoadHidden | kLoadSilent | kLoadSkipWindows;
        ASSERT_EQ(0, ReadCircuitFile(bare.get(), file, first.c_str(), true));
        file.Close();
    }
    EXPECT_EQ(bare->analysisSettings, nullptr);

    // Nothing but the two files and their backups was written.
    const std::set<std::string> written = {"a.cir", "b.cir", "a.cir_bak", "b.cir_bak"};
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_EQ(written.count(entry.path().filename().string()), 1u) << entry.path();
}

// New plot windows take the colours of the defaults for new circuits (zeroed
// ones drew black text and curves that vanished), and new curve rows the
// default waveform styles in turn.
TEST(CfAnalysisDefaults, NewWindowsAndRowsTakeTheDefaultColours) {
    PlotDefaults& defaults = Prefs().analysisPlot;
    ResetPlotColors(defaults);
    auto doc = std::make_unique<CCirDoc>();
    AnalysisSettings* settings = EnsureAnalysisSettings(doc.get());
    ASSERT_NE(settings, nullptr);
    for (const AnalysisKindSettings& k : settings->kinds) {
        EXPECT_EQ(k.window.font.color, 12);
        EXPECT_EQ(k.window.graphBackground, 15);
        EXPECT_EQ(k.window.gridColor, 8);
        EXPECT_EQ(k.window.baselineColor, 12);
        EXPECT_EQ(k.window.trackerBackground, 11);
    }
    EXPECT_EQ(EnsureAnalysisSettings(doc.get()), settings);
    FreeAnalysisSettings(doc.get());

    struct Case {
        int index, line;
    };
    const Case cases[] = {{0, 12}, {1, 9}, {2, 2}, {3, 13}, {4, 0}, {10, 12}, {14, 0}};
    for (const Case& c : cases) {
        CurveRow row;
        SetDefaultCurveStyle(row, c.index);
        EXPECT_EQ(row.display.lineColor, c.line) << c.index;
        EXPECT_EQ(row.display.textColor, c.line) << c.index;
        EXPECT_EQ(row.display.lineWidth, 1);
        EXPECT_EQ(row.display.pointStyle, defaults.waveforms[c.index % 10].pointStyle);
    }
}
