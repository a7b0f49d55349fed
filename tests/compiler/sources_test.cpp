// Independent sources: the source value parser (DC, AC, transient functions,
// tolerances, PWL lists), its positions mode, and the model-driven sources.
#include <gtest/gtest.h>

#include <string>

#include "compiler/setupservices.h"
#include "compiler/sources.h"
#include "core/result.h"
#include "tests/compiler/setup_fixture.h"

namespace {

class CompSourcesTest : public SetupFixture {
protected:
    SourceRecord* NewSource() {
        int status = 0;
        return AddSourceDevice(1, 0, kSourceVoltage, 0.0, &status);
    }
    int Parse(SourceRecord* record, const char* text) {
        shown_.clear();
        return ParseStimulus(record, text, true, nullptr, nullptr);
    }
};

TEST_F(CompSourcesTest, ValueTexts) {
    struct Case {
        const char* text;
        int message;  // the first message shown, 0 none
        int function;
        int lastParameter;
        double dc, acMagnitude, acPhase;
    };
    const Case cases[] = {
        {"5", 0, kFunctionNone, -1, 5, 0, 0},
        {"DC 5 AC 1 90", 0, kFunctionNone, -1, 5, 1, 90},
        {"ac 1", 0, kFunctionNone, -1, 0, 1, 0},
        {"{2*3}", 0, kFunctionNone, -1, 6, 0, 0},
        {"DC 1 2", 10839, kFunctionNone, -1, 1, 0, 0},
        {"DC", 11901, kFunctionNone, -1, 0, 0, 0},
        {"SIN(0 1 1k)", 0, kFunctionSin, 2, 0, 0, 0},
        {"sin 0,1,1k", 0, kFunctionSin, 2, 0, 0, 0},
        {"SIN 0 1 AC 1", 0, kFunctionSin, 1, 0, 1, 0},
        {"2 SIN 0 1 AC 1 45", 0, kFunctionSin, 1, 2, 1, 45},
        {"SIN 0 AC 1", 10622, kFunctionSin, 0, 0, 0, 0},
        {"PULSE 0 5 1n 1n 1n 10n 20n", 0, kFunctionPulse, 6, 0, 0, 0},
        {"PULSE 0 5 1n 1n 1n 10n 20n 3", 11903, kFunctionPulse, 6, 0, 0, 0},
        {"PULSE 0 X", 11903, kFunctionPulse, 0, 0, 0, 0},
        {"SIN 0 1 PULSE 0 1", 11903, kFunctionSin, 1, 0, 0, 0},
        {"NOISE 1", 0, kFunctionNoise, 0, 0, 0, 0},
        {"GAUSSIAN 1 2 0", 10634, kFunctionGaussian, 2, 0, 0, 0},
        {"GAUSSIAN 1 2 1n", 0, kFunctionGaussian, 2, 0, 0, 0},
        {"LOT=10% 5", 11852, kFunctionNone, -1, 0, 0, 0},
        {"DC 5 LOTX 1", 11903, kFunctionNone, -1, 5, 0, 0},
        {"DC 5 LOT/12=1", 11863, kFunctionNone, -1, 5, 0, 0},
        {"STIMULUS S1 5", 10623, kFunctionNone, -1, 5, 0, 0},
        {"WHAT", 11903, kFunctionNone, -1, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SourceRecord* record = NewSource();
        const int rc = Parse(record, c.text);
        EXPECT_EQ(rc, c.message ? kResultShown : 0) << c.text;
        EXPECT_EQ(shown_.empty() ? 0 : shown_[0], c.message) << c.text;
        EXPECT_EQ(record->functionKind, c.function) << c.text;
        EXPECT_EQ(record->lastParameter, c.lastParameter) << c.text;
        EXPECT_DOUBLE_EQ(record->dcValue, c.dc) << c.text;
        shown_.clear();
        EXPECT_EQ(ParseStimulus(NewSource(), c.text, false, nullptr, nullptr), rc) << c.text;
        EXPECT_TRUE(shown_.empty()) << c.text;  // quiet: the same result, nothing shown
        if (c.message) continue;
        EXPECT_DOUBLE_EQ(record->values[kSourceFieldDc], c.dc) << c.text;
        EXPECT_DOUBLE_EQ(record->values[kSourceFieldAcMagnitude], c.acMagnitude) << c.text;
        EXPECT_DOUBLE_EQ(record->values[kSourceFieldAcPhase], c.acPhase) << c.text;
        for (int i = 0; i < kSourceFieldCount; ++i) EXPECT_EQ(record->nominal[i], record->values[i]) << c.text;
    }
}

TEST_F(CompSourcesTest, TolerancesAttachToTheValueBeforeThem) {
    SourceRecord* record = NewSource();
    ASSERT_EQ(Parse(record, "DC 5 LOT/3=10% AC 2 DEV=1"), 0);
    EXPECT_DOUBLE_EQ(record->tolerances[kSourceFieldDc].Lot, 0.5);
    EXPECT_EQ(record->tolerances[kSourceFieldDc].LotIndex, 3);
    EXPECT_DOUBLE_EQ(record->tolerances[kSourceFieldAcMagnitude].Dev, 1);
    EXPECT_EQ(record->tolerances[kSourceFieldAcPhase].Dev, -1);  // untouched

    record = NewSource();
    ASSERT_EQ(Parse(record, "SIN 0 2 LOT=50% 1k"), 0);
    EXPECT_DOUBLE_EQ(record->tolerances[1].Lot, 1);
    EXPECT_DOUBLE_EQ(record->values[2], 1000);
}

TEST_F(CompSourcesTest, PwlLists) {
    SourceRecord* record = NewSource();
    ASSERT_EQ(Parse(record, "PWL 0 0 1u 5 REPEAT FOR 3 2u 0 3u {VMAX} ENDREPEAT NOBRKPNTS"), 0);
    ASSERT_EQ(record->pwl.size(), 6u);
    const int kinds[] = {kPwlPoint, kPwlPoint, kPwlRepeat, kPwlPoint, kPwlPoint, kPwlEndRepeat};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(record->pwl[i].kind, kinds[i]) << i;
    EXPECT_EQ(record->pwl[2].repeatCount, 3);
    EXPECT_DOUBLE_EQ(record->pwl[3].number, 2e-6);
    EXPECT_EQ(record->pwl[4].value, "{VMAX}");  // evaluated at run time
    EXPECT_EQ(record->repeatDepth, 1);
    EXPECT_EQ(record->repeatCounters.size(), 1u);
    EXPECT_EQ(record->noBreakpoints, 1);

    record = NewSource();
    ASSERT_EQ(Parse(record, "PWL TIME_SCALE_FACTOR 2 TRIGGER {V(1)>1} {1u*2} 1 REPEAT FOREVER 0 1 ENDREPEAT"), 0);
    EXPECT_DOUBLE_EQ(record->timeScale, 2);
    EXPECT_EQ(record->trigger.pendingText, "V(1)>1");
    EXPECT_DOUBLE_EQ(record->pwl[0].number, 2e-6);
    EXPECT_EQ(record->pwl[1].repeatCount, -1);

    struct Case {
        const char* text;
        int message;
    };
    const Case failures[] = {
        {"PWL REPEAT FOR 2 ENDREPEAT", 10632}, {"PWL 0 0 ENDREPEAT", 10626},
        {"PWL REPEAT FOR 2 0 0", 10627},       {"PWL 0 0 1u", 10621},
        {"PWL TIME_SCALE_FACTOR 0", 10633},    {"PWL TIME_SCALE_FACTOR", 10629},
        {"PWL VALUE_SCALE_FACTOR", 10630},     {"PWL REPEAT 0 0", 10625},
        {"PWL REPEAT FOR X 0 0", 10624},       {"PWL X 0", 10635},
        {"PWL FILE A.TXT 0 0", 10628},
    };
    for (const Case& c : failures) {
        EXPECT_EQ(Parse(NewSource(), c.text), kResultShown) << c.text;
        EXPECT_EQ(shown_.empty() ? 0 : shown_[0], c.message) << c.text;
    }
}

TEST_F(CompSourcesTest, PositionsModeLocatesFieldsWithoutStoringThem) {
    SourceRecord* record = NewSource();
    StimulusPositions at;
    ASSERT_EQ(ParseStimulus(record, "DC 5 AC 1 90 SIN 0 {A} LOT=1", false, &at, nullptr), 0);
    EXPECT_EQ(at.dc, 3);
    EXPECT_EQ(at.acMagnitude, 8);
    EXPECT_EQ(at.acPhase, 10);
    EXPECT_EQ(at.parameters[0], 17);
    EXPECT_EQ(at.parameters[1], 19);
    EXPECT_EQ(at.parameters[2], -1);
    EXPECT_EQ(record->dcValue, 0);
    EXPECT_EQ(record->functionKind, kFunctionNone);

    StimulusPositions pwl;
    ASSERT_EQ(ParseStimulus(nullptr, "PWL   0 0 1 X", false, &pwl, nullptr), 0);
    EXPECT_EQ(pwl.pwlStart, 6);
}

TEST_F(CompSourcesTest, SpiceSourcesRegisterWithTheirKind) {
    SchematicObject* battery = AddPart(kTypeBattery, "V1", "DC 5", {1, 2});
    SchematicObject* current = AddPart(kTypeIsource, "I1", "1m", {2, 0});
    ASSERT_EQ(Process(), 0);
    const auto sources = Records<SourceRecord>(kListSpiceSources);
    ASSERT_EQ(sources.size(), 2u);
    EXPECT_EQ(sources[0]->sourceKind, kSourceVoltage);
    EXPECT_EQ(compiled_->FindLink(battery)->deviceKind, kSourceVoltage);
    EXPECT_EQ(compiled_->FindLink(battery)->value, &sources[0]->working);
    EXPECT_EQ(sources[1]->sourceKind, kSourceCurrent);
    EXPECT_EQ(compiled_->FindLink(current)->deviceKind, kSourceCurrent);
    EXPECT_DOUBLE_EQ(sources[1]->dcValue, 1e-3);
}

TEST_F(CompSourcesTest, ModelDrivenSources) {
    Model(".MODEL S0 SIN (RS=0)");
    Model(".MODEL S1 SIN (RS=5)");
    Model(".MODEL P1 PUL (VZERO=0 VONE=1)");
    SchematicObject* direct = AddPart(kTypeSineSource, "V1", nullptr, {1, 0});
    SetAttribute(doc_.get(), direct, kAttrModel, "S0");
    SchematicObject* behind = AddPart(kTypeSineSource, "V2", nullptr, {2, 0});
    SetAttribute(doc_.get(), behind, kAttrModel, "S1");
    SchematicObject* pulse = AddPart(kTypePulseSource, "V3", nullptr, {3, 0});
    SetAttribute(doc_.get(), pulse, kAttrModel, "P1");
    SchematicObject* user = AddPart(kTypeUserSource, "V4", nullptr, {4, 0});
    SetAttribute(doc_.get(), user, kAttrFile, "wave.usr");
    SetAttribute(doc_.get(), user, "EXPRESSION", "v(a)");
    SetAttribute(doc_.get(), user, "REPEAT", "2.5");
    const int nodes = compiled_->analogNodeCount;
    ASSERT_EQ(Process(), 0) << LastMessageText();

    const auto sines = Records<SineSourceRecord>(kListSineSources);
    EXPECT_EQ(sines[0]->internalNode, 1);
    EXPECT_EQ(sines[1]->internalNode, nodes + 1);
    EXPECT_EQ(InternalNodeName(doc_.get(), nodes + 1), "V2_plus");
    const auto resistors = Records<ResistorRecord>(kListResistors);
    ASSERT_EQ(resistors.size(), 1u);
    EXPECT_EQ(resistors[0]->node1, 2);
    EXPECT_DOUBLE_EQ(resistors[0]->working, 5);
    EXPECT_NE(Records<PulseSourceRecord>(kListPulseSources).at(0)->model, nullptr);
    const UserSourceRecord* wave = Records<UserSourceRecord>(kListUserSources).at(0);
    EXPECT_EQ(wave->fileName, "WAVE.USR");  // substitution upper-cases it
    EXPECT_EQ(wave->expression, "V(A)");
    EXPECT_EQ(wave->repeat, 3);

    Reset();
    SchematicObject* orphan = AddPart(kTypePulseSource, "V1", nullptr, {1, 0});
    SetAttribute(doc_.get(), orphan, kAttrModel, "NONE");
    EXPECT_EQ(Process(), kResultShown);
    EXPECT_EQ(shown_, std::vector<int>{10834});
}

}  // namespace
