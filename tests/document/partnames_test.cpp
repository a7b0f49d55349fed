// Part names and the defaults of new parts: the name counters, placing a part
// with the defaults it takes from its type and from the parts already there,
// and packages.
#include "document/partnames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/attributes.h"
#include "document/cirdoc.h"
#include "document/component_defs.h"
#include "parts_fixture.h"

namespace {

class PartNamesTest : public ptf_Circuit {
protected:
    // Places a part of the definition the way a click in Component mode does.
    SchematicObject* Place(ComponentDef* def, int x = 10, int y = 10) {
        catalog.current = def;
        SchematicObject* o = PlaceNewPart(doc(), SchPoint{x, y});
        if (o && !FinishPlacingNewPart(doc(), o)) return nullptr;
        return o;
    }
};

TEST_F(PartNamesTest, NewPartsCountOnAndADeletedLastNumberComesBackAfterRecount) {
    ComponentDef* res = Def(kTypeResistor, "RESISTOR");
    SchematicObject* r1 = Place(res);
    SchematicObject* r2 = Place(res, 20, 10);
    ASSERT_TRUE(r1 && r2);
    EXPECT_EQ(Part(r1), "R1");
    EXPECT_EQ(Part(r2), "R2");
    EXPECT_TRUE(r2->IsSelected());
    EXPECT_TRUE(editor.pops.empty());

    doc()->objects.Delete(r2);
    doc()->RecountPartNumbers();
    SchematicObject* again = Place(res, 30, 10);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(Part(again), "R2");
}

TEST_F(PartNamesTest, NamesFollowThePrefixRules) {
    struct Case {
        int type;
        const char* expected;
    };
    // In one circuit, in this order: multi-letter prefixes and prefixless types
    // share one counter; new ties share the last tie's name.
    const std::vector<Case> cases = {
        {kTypeSwitch, "SW1"},   {142 /* ANIMATED METER */, "Meter2"},
        {kTypeNull, "Part3"},   {kTypeTie, "T1"},
        {kTypeTie, "T1"},       {kTypeResistor, "R1"},
        {kTypeTline, "T1"},     {kTypeTie, "T1"},
        {kTypeCapacitor, "C1"},
    };
    char name[64];
    for (const Case& c : cases) EXPECT_STREQ(doc()->NextPartName(name, sizeof name, c.type), c.expected) << c.type;
    // A short buffer is cut, never overrun.
    EXPECT_STREQ(doc()->NextPartName(name, 3, kTypeResistor), "R2");
    EXPECT_STREQ(doc()->NextPartName(name, 2, kTypeResistor), "R");
}

TEST_F(PartNamesTest, PlacedPartsAreNamedByTypeAndConnectorsGetNoName) {
    SchematicObject* sw = Place(Def(kTypeSwitch, "SWITCH", 4));
    SchematicObject* tie1 = Place(Def(kTypeTie, "TIE", 1));
    SchematicObject* tie2 = Place(Def(kTypeTie, "TIE2", 1));
    SchematicObject* ground = Place(Def(kTypeGround, "GROUND", 1));
    SchematicObject* blank = Place(Def(kTypeBlank, "BLANK", 0));
    ASSERT_TRUE(sw && tie1 && tie2 && ground && blank);
    EXPECT_EQ(Part(sw), "SW1");
    EXPECT_EQ(Part(tie1), "T1");
    EXPECT_EQ(Part(tie2), "T1");  // the same name: by the tie rule they are connected
    EXPECT_EQ(FindAttribute(ground, kAttrPart), nullptr);
    EXPECT_EQ(FindAttribute(blank, kAttrPart), nullptr);
}

TEST_F(PartNamesTest, RecountRaisesCountersFromTheNamesInTheCircuit) {
    struct Case {
        int type;
        const char* part;
        int counter;
        int expected;
    };
    const std::vector<Case> cases = {
        {kTypeResistor, "R7", 'R' - 'A', 7},
        {kTypeResistor, "r3", 'R' - 'A', 7},     // lower: the counter stays
        {kTypeResistor, "X12", 'X' - 'A', 12},   // the name's letter decides
        {kTypeResistor, "RLOAD", 'R' - 'A', 7},  // no digits: nothing
        {kTypeResistor, "5", 'R' - 'A', 7},      // no letter: nothing
        {kTypeSwitch, "SW4", kSharedPartCounter, 4},
        {kTypeNull, "Part9", kSharedPartCounter, 9},  // prefixless names use the shared counter
        {kTypeTie, "T5", 'T' - 'A', 5},
        {kTypeTie, "T2", 'T' - 'A', 2},                             // a tie always sets its counter
        {kTypeResistor, "R99999999999999", 'R' - 'A', 2147483646},  // saturates
    };
    for (const Case& c : cases) {
        SchematicObject* o = Part(Def(c.type), 0, 0, c.part);
        RecountFromPart(doc(), o);
        EXPECT_EQ(doc()->partCounters[c.counter], c.expected) << c.part;
    }
    SchematicObject* unnamed = Part(Def(kTypeResistor), 0, 0);
    RecountFromPart(doc(), unnamed);  // no PART: nothing
    EXPECT_EQ(doc()->partCounters['R' - 'A'], 2147483646);
}

TEST_F(PartNamesTest, PrefixlessPartsAreNeverNamedTwiceAfterRecount) {
    ComponentDef* null = Def(kTypeNull, "NOTHING", 0);
    SchematicObject* first = Place(null);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Part(first), "Part1");
    doc()->RecountPartNumbers();
    SchematicObject* second = Place(null);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(Part(second), "Part2");
}

TEST_F(PartNamesTest, NewPartTakesModelsAndNodesOfThePartsAlreadyThere) {
    ComponentDef* npn = Def(kTypeNpn, "NPN", 3);
    SchematicObject* old = Part(npn, 0, 0, "Q1");
    SetAttribute(doc(), old, kAttrModel, "2N2222");
    doc()->RecountPartNumbers();  // as after loading
    SchematicObject* q = Place(npn);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(Part(q), "Q2");
    EXPECT_EQ(Attr(q, kAttrModel), "2N2222");

    ComponentDef* andGate = Def(kTypeAnd, "AND2", 3);
    SchematicObject* gate = Place(andGate);
    ASSERT_NE(gate, nullptr);
    struct Case {
        int id;
        const char* expected;
    };
    for (const Case& c : std::vector<Case>{{kAttrIoModel, "IO_STD"},
                                           {kAttrPowerNode, "$G_DPWR"},
                                           {kAttrGroundNode, "$G_DGND"},
                                           {kAttrMntymxdly, "0"},
                                           {kAttrTimingModel, ""}})
        EXPECT_EQ(Attr(gate, c.id), c.expected) << c.id;
    SetAttribute(doc(), gate, kAttrPowerNode, "VDD");
    SetAttribute(doc(), gate, kAttrIoModel, "IO_LS");
    SchematicObject* gate2 = Place(andGate);
    ASSERT_NE(gate2, nullptr);
    EXPECT_EQ(Attr(gate2, kAttrPowerNode), "VDD");
    EXPECT_EQ(Attr(gate2, kAttrIoModel), "IO_LS");
}

TEST_F(PartNamesTest, DefaultsByTypeCompleteAPartWithoutOverwritingIt) {
    ComponentDef* stim = Def(kTypeStim, "STIM8", 8);
    SchematicObject* s = Part(stim, 0, 0);
    EXPECT_EQ(0, SetNewPartDefaults(doc(), s, nullptr, nullptr, "", "", nullptr, stim, 0));
    EXPECT_EQ(Attr(s, kAttrFormat), "11111111");
    EXPECT_EQ(Part(s), "");
    ASSERT_NE(FindAttribute(s, kAttrPart), nullptr);

    SchematicObject* meter = Part(Def(142, "METER"), 0, 0);
    SetNewPartDefaults(doc(), meter, nullptr, nullptr, "", "", nullptr, nullptr, 0);
    EXPECT_EQ(Attr(meter, kAttrHigh), "10");
    EXPECT_EQ(Attr(meter, kAttrLow), "0");
    EXPECT_EQ(Attr(meter, kAttrAmpsOrVolts), "Volts");
    EXPECT_EQ(meter->borderColor, 56);

    // A part read from a file keeps what it has and gains what it lacks.
    ComponentDef* res = Def(kTypeResistor);
    SchematicObject* loaded = Part(res, 0, 0, "R4");
    SetAttribute(doc(), loaded, kAttrValue, "10k");
    EXPECT_EQ(0, SetPlainPartDefaults(doc(), loaded, 0));
    EXPECT_EQ(Part(loaded), "R4");
    EXPECT_EQ(Attr(loaded, kAttrValue), "10k");
    EXPECT_NE(FindAttribute(loaded, kAttrFreq), nullptr);

    SchematicObject* ground = Part(Def(kTypeGround, "G", 1), 0, 0);
    SetPlainPartDefaults(doc(), ground, 0);
    EXPECT_EQ(ground->attributes.count, 0);
}

TEST_F(PartNamesTest, PackageComesFromATwinOrThePackageLibraries) {
    ComponentDef* chip = Def(kTypeAnd, "7408", 3);
    SchematicObject* twin = Part(chip, 0, 0, "U1");
    SetAttribute(doc(), twin, kAttrPackage, "DIP14");
    SetAttribute(doc(), twin, kAttrGate, "B");
    SchematicObject* five = Part(chip, 5, 0, "5");
    AssignPackage(doc(), five, true);
    EXPECT_EQ(Attr(five, kAttrPackage), "DIP14");
    EXPECT_EQ(Attr(five, kAttrGate), "B");
    EXPECT_EQ(Attr(five, kAttrCompName), "U5");

    catalog.packageName = "SO8";
    catalog.firstGate = "A";
    SchematicObject* u7 = Part(Def(kTypeAnd, "OTHER", 3), 9, 0, "u7");
    AssignPackage(doc(), u7, false);
    EXPECT_EQ(Attr(u7, kAttrPackage), "SO8");
    EXPECT_EQ(Attr(u7, kAttrGate), "A");
    EXPECT_EQ(Attr(u7, kAttrCompName), "u7");
}

TEST_F(PartNamesTest, FailedOrCancelledPlacingLeavesNothingBehind) {
    ComponentDef* res = Def(kTypeResistor, "RESISTOR");
    ComponentDef* shapeless = Def(kTypeResistor, "NOSHAPE");
    shapeless->shapeLink = nullptr;
    struct Case {
        ComponentDef* def;
        int x, y;
    };
    for (const Case& c : std::vector<Case>{{shapeless, 10, 10}, {res, 0, 10}, {res, 10, 32000}, {res, -5, 10}}) {
        catalog.current = c.def;
        EXPECT_EQ(PlaceNewPart(doc(), SchPoint{c.x, c.y}), nullptr) << c.x << "," << c.y;
    }
    EXPECT_EQ(doc()->objects.count, 0);
    EXPECT_EQ(editor.pops, std::vector<bool>(4, false));
    catalog.current = nullptr;
    EXPECT_EQ(PlaceNewPart(doc(), SchPoint{10, 10}), nullptr);

    // An abandoned drag removes the part, undoes "Add" and gives the number back.
    ASSERT_NE(Place(res), nullptr);
    editor.pops.clear();
    editor.acceptDrag = false;
    catalog.current = res;
    SchematicObject* dragged = PlaceNewPart(doc(), SchPoint{40, 40});
    ASSERT_NE(dragged, nullptr);
    EXPECT_EQ(FinishPlacingNewPart(doc(), dragged), 0);
    EXPECT_EQ(doc()->objects.count, 1);
    EXPECT_EQ(editor.pops, std::vector<bool>{true});
    EXPECT_EQ(doc()->partCounters['R' - 'A'], 1);
}

}  // namespace
