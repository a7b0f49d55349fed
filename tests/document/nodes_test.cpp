// Node numbering: pin geometry in every orientation, the numbering order of a
// small schematic worked out by hand, and the joining rules (ground, jumpers,
// ties, ".TIE" texts, node-name texts, hidden pins).
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "core/cmdline.h"
#include "core/memory.h"
#include "core/result.h"
#include "document/cirdoc.h"
#include "document/nodes.h"
#include "shell/app.h"
#include "shell/preferences.h"
#include "tests/document/nodes_fixture.h"

namespace {

using Nodes = std::vector<int>;

TEST(NodesGeometry, TransformByOrientationTurnsAndMirrors) {
    // The offset (3, 1) in each of the eight orientations: four quarter turns,
    // then the same mirrored (y negated after the turn).
    const SchPoint expected[kOrientCount] = {{3, 1}, {-1, 3}, {-3, -1}, {1, -3}, {3, -1}, {-1, -3}, {-3, 1}, {1, 3}};
    for (int o = 0; o < kOrientCount; ++o)
        EXPECT_EQ(TransformByOrientation(o, 3, 1), expected[o]) << "orientation " << o;
    EXPECT_EQ(TransformByOrientation(5, 2, 0), (SchPoint{0, -2}));
}

TEST(NodesGeometry, PinPositionsAndDigitalPins) {
    ndt_Circuit c;
    ComponentDef* res = ndt_Resistor(c);
    SchematicObject* r = c.Part(res, -10, -5, 2);
    EXPECT_EQ(GetPinPosition(r, 0), (SchPoint{-10, -5}));
    EXPECT_EQ(GetPinPosition(r, 1), (SchPoint{-14, -5}));
    EXPECT_EQ(GetPinPosition(r, 2), (SchPoint{}));  // no such pin
    EXPECT_EQ(GetPinPosition(nullptr, 0), (SchPoint{}));

    // A part drawn as an automatic macro box takes its pins from its own box.
    ComponentDef* box = c.Def(kTypeMacro, {{0, 0, 'a', "A"}, {0, 2, 'd', "B"}}, "BOXED");
    box->SetShapeLink(AutoMacroShape());
    SchematicObject* m = c.Part(box, 100, 100);
    m->pinBox = AllocPinBox(2);
    ASSERT_NE(m->pinBox, nullptr);
    m->pinBox->Pins()[1].x = 6;
    m->pinBox->Pins()[1].y = 3;
    EXPECT_EQ(GetPinPosition(m, 1), (SchPoint{106, 103}));
    EXPECT_EQ(IsDigitalPin(m, 0), 0);
    EXPECT_EQ(IsDigitalPin(m, 1), 1);

    struct Case {
        int type;
        int pins;
        std::vector<int> digital;
    };
    const std::vector<Case> cases = {
        {kTypeResistor, 2, {0, 0}},
        {kTypeInv, 2, {1, 1}},
        {kTypeN, 4, {0, 0, 0, 1}},
        {kTypeO, 3, {0, 0, 1}},
        {kTypeAdc, 7, {0, 0, 0, 1, 1, 1, 1}},
        {kTypeDac, 4, {0, 0, 0, 1}},
    };
    for (const Case& k : cases) {
        ComponentDef* d = c.Def(k.type, {});
        ASSERT_EQ(0, d->ResizePins(k.pins));
        SchematicObject* o = c.Part(d, 0, 0);
        for (int i = 0; i < k.pins; ++i)
            EXPECT_EQ(IsDigitalPin(o, i), k.digital[i]) << "type " << k.type << " pin " << i;
    }
}

TEST(NodesGeometry, PinNodeArraysFollowTheType) {
    ndt_Circuit c;
    SchematicObject* r = c.Part(ndt_Resistor(c), 0, 0);
    SchematicObject* g = c.Part(ndt_Ground(c), 0, 0);
    ASSERT_TRUE(SizePinNodesForType(r));
    EXPECT_EQ(ndt_Circuit::Nodes(r), (Nodes{-1, -1}));  // unknown, never ground
    int32_t* block = r->pinNodes;
    ASSERT_TRUE(ResizePinNodes(r, 1));
    EXPECT_EQ(r->pinNodes, block);  // the block is reused
    ASSERT_TRUE(SizePinNodesForType(g));
    EXPECT_EQ(g->pinNodes, nullptr);
    EXPECT_EQ(g->pinCount, 0);
    EXPECT_TRUE(ResizePinNodes(r, 0));
    EXPECT_EQ(r->pinNodes, nullptr);
}

// The schematic of the hand-worked example:
//   Main:   V1 (0,0)-(0,4); W1 (0,0)-(10,0); R1 (10,0)-(14,0); W2 (14,0)-(20,0);
//           C1 (20,0)-(20,4); G1 at (20,4); W3 (0,4)-(20,4); R2 (30,0)-(34,0);
//           tie VCC at (34,0); texts OUT at (20,0) and (30,0), a floating OUT.
//   Page 2: R3 (0,0)-(4,0); tie vcc at (4,0); W4 (0,0)-(0,-8); C2 turned twice,
//           (0,-8)-(0,-12); G3 at (0,-12); a lone wire W5 (40,40)-(44,40).
TEST(NodesNumbering, SmallSchematicNumbersAsWorkedByHand) {
    ndt_Circuit c;
    ComponentDef* res = ndt_Resistor(c);
    ComponentDef* cap = ndt_Capacitor(c);
    ComponentDef* gnd = ndt_Ground(c);
    ComponentDef* tie = ndt_Tie(c);
    const int page2 = c.AddSchematicPage("Page 2");
    ASSERT_GT(page2, 0);

    SchematicObject* r1 = c.Part(res, 10, 0, 0, 0, "R1");
    SchematicObject* v1 = c.Part(ndt_Battery(c), 0, 0, 0, 0, "V1");
    SchematicObject* w1 = c.Wire(0, 0, 10, 0);
    SchematicObject* c1 = c.Part(cap, 20, 0, 0, 0, "C1");
    SchematicObject* w2 = c.Wire(14, 0, 20, 0);
    c.Part(gnd, 20, 4);
    SchematicObject* w3 = c.Wire(0, 4, 20, 4);
    SchematicObject* r2 = c.Part(res, 30, 0, 0, 0, "R2");
    c.Part(tie, 34, 0, 0, 0, "VCC");
    SchematicObject* r3 = c.Part(res, 0, 0, 0, page2, "R3");
    c.Part(tie, 4, 0, 0, page2, "vcc");
    SchematicObject* w4 = c.Wire(0, 0, 0, -8, page2);
    SchematicObject* c2 = c.Part(cap, 0, -8, 2, page2, "C2");
    c.Part(gnd, 0, -12, 0, page2);
    SchematicObject* w5 = c.Wire(40, 40, 44, 40, page2);
    GridTextObject* out1 = c.Text("OUT", 20, 0);
    GridTextObject* out2 = c.Text("out", 30, 0);
    GridTextObject* floating = c.Text("OUT", 50, 50);

    ASSERT_EQ(c.Number(), 0);
    EXPECT_EQ(ndt_Circuit::Nodes(r1), (Nodes{1, 2}));
    EXPECT_EQ(ndt_Circuit::Nodes(v1), (Nodes{1, 0}));
    EXPECT_EQ(ndt_Circuit::Nodes(c1), (Nodes{2, 0}));
    EXPECT_EQ(ndt_Circuit::Nodes(r2), (Nodes{2, 3}));  // joined to C1 by the name OUT
    EXPECT_EQ(ndt_Circuit::Nodes(r3), (Nodes{4, 3}));  // VCC across pages, case ignored
    EXPECT_EQ(ndt_Circuit::Nodes(c2), (Nodes{4, 0}));  // pins at negative y
    EXPECT_EQ(w1->wireNode, 1);
    EXPECT_EQ(w2->wireNode, 2);
    EXPECT_EQ(w3->wireNode, 0);
    EXPECT_EQ(w4->wireNode, 4);
    EXPECT_EQ(w5->wireNode, -5);  // a lone wire keeps its group id (the fourth group made)
    EXPECT_EQ(HighestNodeNumber(c.doc()), 4);
    EXPECT_EQ(c.doc()->lastGeometricNode, 4);
    EXPECT_EQ(out1->node, 2);
    EXPECT_EQ(out2->node, 2);
    EXPECT_EQ(floating->node, -1);

    // Numbering again without a change gives the same numbers.
    ASSERT_EQ(c.Number(), 0);
    EXPECT_EQ(ndt_Circuit::Nodes(r3), (Nodes{4, 3}));
    EXPECT_EQ(ndt_Circuit::Nodes(r2), (Nodes{2, 3}));
}

TEST(NodesNumbering, PartInEveryOrientationMeetsItsPins) {
    // A resistor whose pin 1 sits at (3, 1), placed at (1, 1): a ground on the
    // hand-turned pin 1 position grounds pin 1 and leaves pin 0 node 1. Several
    // orientations put pin 1 at negative coordinates.
    const SchPoint pin1[kOrientCount] = {{4, 2}, {0, 4}, {-2, 0}, {2, -2}, {4, 0}, {0, -2}, {-2, 2}, {2, 4}};
    for (int o = 0; o < kOrientCount; ++o) {
        ndt_Circuit c;
        ComponentDef* res = c.Def(kTypeResistor, {{0, 0}, {3, 1}});
        SchematicObject* r = c.Part(res, 1, 1, o);
        c.Part(ndt_Ground(c), pin1[o].x, pin1[o].y);
        SchematicObject* probe = c.Part(res, 1, 1, 0);  // shares pin 0's point
        ASSERT_EQ(c.Number(), 0);
        EXPECT_EQ(ndt_Circuit::Nodes(r), (Nodes{1, 0})) << "orientation " << o;
        EXPECT_EQ(ndt_Circuit::Nodes(probe)[0], 1) << "orientation " << o;
    }
}

TEST(NodesNumbering, NegativeAndHugeCoordinatesAreSafe) {
    ndt_Circuit c;
    ComponentDef* res = ndt_Resistor(c);
    SchematicObject* a = c.Part(res, -30000, -2000000000, 0);
    c.Wire(-29996, -2000000000, 2000000000, 7);
    SchematicObject* b = c.Part(res, 2000000000, 7, 1);
    c.Wire(-30000, -2000000000, -30000, -2000000000);  // a wire of one point
    ASSERT_EQ(c.Number(), 0);
    EXPECT_EQ(ndt_Circuit::Nodes(a), (Nodes{1, 2}));
    EXPECT_EQ(ndt_Circuit::Nodes(b), (Nodes{2, 3}));
}

TEST(NodesNumbering, FirstPinsNumberFirst) {
    // A resistor first in the list whose pin 1 is wired to a capacitor's pin 0.
    ndt_Circuit c;
    SchematicObject* r = c.Part(ndt_Resistor(c), 0, 0);
    SchematicObject* k = c.Part(ndt_Capacitor(c), 10, 0);
    c.Wire(4, 0, 10, 0);
    ASSERT_EQ(c.Number(), 0);
    EXPECT_EQ(ndt_Circuit::Nodes(r), (Nodes{1, 2}));
    EXPECT_EQ(ndt_Circuit::Nodes(k), (Nodes{2, 3}));
}

TEST(NodesNumbering, TwoCircuitsNumberSideBySide) {
    // Each circuit keeps the highest node of its own numbering: the labels of
    // the first, rebuilt after the second was numbered, stop at its own nodes.
    ndt_Circuit small;
    ndt_Circuit large;
    small.Part(ndt_Resistor(small), 0, 0);
    ComponentDef* res = ndt_Resistor(large);
    for (int x : {0, 100, 200}) large.Part(res, x, 0);
    ASSERT_EQ(small.Number(), 0);
    ASSERT_EQ(large.Number(), 0);
    EXPECT_EQ(HighestNodeNumber(small.doc()), 2);
    EXPECT_EQ(HighestNodeNumber(large.doc()), 6);
    EXPECT_EQ(HighestGeometricNodeNumber(small.doc()), 2);
    EXPECT_EQ(HighestGeometricNodeNumber(large.doc()), 6);
    ASSERT_EQ(BuildNodeLabels(small.doc()), 0);
    EXPECT_EQ(small.doc()->nodeLabelCount, 2);
    EXPECT_EQ(HighestNodeNumber(nullptr), 0);
}

TEST(NodesNumbering, GroundWinsWhicheverWayGroupsJoin) {
    // 0: a group joined to the ground point after the ground was seen;
    // 1: the same with the wire drawn from the ground end;
    // 2: a ground listed after its group had formed.
    for (int variant = 0; variant < 3; ++variant) {
        ndt_Circuit c;
        ComponentDef* res = ndt_Resistor(c);
        ComponentDef* gnd = ndt_Ground(c);
        SchematicObject* r = c.Part(res, 0, 0);
        c.Wire(4, 0, 10, 0);
        if (variant == 2) {
            c.Part(gnd, 10, 0);
        } else {
            c.Part(gnd, 20, 0);
            if (variant == 1)
                c.Wire(20, 0, 10, 0);
            else
                c.Wire(10, 0, 20, 0);
        }
        ASSERT_EQ(c.Number(), 0);
        EXPECT_EQ(ndt_Circuit::Nodes(r), (Nodes{1, 0})) << "variant " << variant;
    }
}

TEST(NodesNumbering, ConnectorParts) {
    struct Case {
        const char* what;
        int type;
        const char* firstName;
        const char* secondName;
        bool joined;
    };
    // Two resistors far apart, connected (or not) by two one-pin ties or by a
    // two-pin connector between their pins.
    const std::vector<Case> cases = {
        {"jumper", kTypeJumper, nullptr, nullptr, true},
        {"short leaves its pins apart", kTypeShort, nullptr, nullptr, false},
        {"ties of one name", kTypeTie, "NET", "net", true},
        {"ties of other names", kTypeTie, "NET", "NET2", false},
        {"ties without a name", kTypeTie, "", "", false},
    };
    for (const Case& k : cases) {
        ndt_Circuit c;
        ComponentDef* res = ndt_Resistor(c);
        SchematicObject* a = c.Part(res, 0, 0);
        SchematicObject* b = c.Part(res, 100, 0);
        if (k.type == kTypeTie) {
            ComponentDef* tie = ndt_Tie(c);
            c.Part(tie, 4, 0, 0, 0, k.firstName);
            c.Part(tie, 104, 0, 0, 0, k.secondName);
        } else {
            c.Part(c.Def(k.type, {{0, 0}, {100, 0}}), 4, 0);
        }
        ASSERT_EQ(c.Number(), 0) << k.what;
        EXPECT_EQ(ndt_Circuit::Nodes(a), (Nodes{1, 2})) << k.what;
        EXPECT_EQ(ndt_Circuit::Nodes(b), k.joined ? (Nodes{3, 2}) : (Nodes{3, 4})) << k.what;
    }
}

TEST(NodesNumbering, TieStatements) {
    struct Case {
        const char* text;
        int joinedPin;  // -1: nothing joined
    };
    const std::vector<Case> cases = {
        {".tie resistor minus RA RB", 1},   {".TIE Resistor Plus\tRB  ra", 0},
        {".TIE Resistor Minus RA", -1},                                       // only one part listed
        {".TIE Resistor Minus RA RX", -1},  {".TIE Resistor Minus RAB", -1},  // whole words only
        {".TIE Nonesuch Minus RA RB", -1},  {".TIE Resistor Middle RA RB", -1},
        {".TIE Capacitor Minus RA RB", -1},  // no capacitor is named so
    };
    for (const Case& k : cases) {
        ndt_Circuit c;
        ComponentDef* res = ndt_Resistor(c);
        SchematicObject* a = c.Part(res, 0, 0, 0, 0, "RA");
        SchematicObject* b = c.Part(res, 100, 0, 0, 0, "RB");
        c.Text(k.text, 500, 500, 0, false);
        ASSERT_EQ(c.Number(), 0) << k.text;
        for (int pin = 0; pin < 2; ++pin)
            EXPECT_EQ(ndt_Circuit::Nodes(a)[pin] == ndt_Circuit::Nodes(b)[pin], pin == k.joinedPin) << k.text;
    }
}

TEST(NodesNumbering, NodeNameTextsJoinOnlyWhereTheyTouch) {
    ndt_Circuit c;
    ComponentDef* res = ndt_Resistor(c);
    SchematicObject* a = c.Part(res, 0, 0);
    SchematicObject* b = c.Part(res, 100, 0);
    SchematicObject* d = c.Part(res, 200, 0);
    c.Wire(104, 0, 110, 0);
    c.Text("OUT", 4, 0);    // on a pin of a numbered part
    c.Text("OUT", 110, 0);  // on a wire end
    c.Text("OUT", 300, 0);  // in empty space
    c.Text("OUT", 220, 0);  // near no point
    ASSERT_EQ(c.Number(), 0);
    EXPECT_EQ(ndt_Circuit::Nodes(a), (Nodes{1, 2}));
    EXPECT_EQ(ndt_Circuit::Nodes(b), (Nodes{3, 2}));
    EXPECT_EQ(ndt_Circuit::Nodes(d), (Nodes{4, 5}));
}

TEST(NodesNumbering, HiddenPinsConnectByNameAfterGeometry) {
    ndt_Circuit c;
    ComponentDef* res = ndt_Resistor(c);
    ComponentDef* macro = c.Def(kTypeMacro,
                                {{0, 0, 'a', "IN"},
                                 {0, 2, 'd', "VDD", "DPWR"},
                                 {0, 4, 'd', "VSS", "MISSING1"},
                                 {4, 0, 'a', "OUT"},
                                 {0, 6, 'd', "VX", "MISSING2"},
                                 {0, 8, 'd', "VR", "RAIL"}},
                                "MAC");
    SchematicObject* m = c.Part(macro, 0, 0, 0, 0, "X1");
    SchematicObject* r = c.Part(res, 4, 0);
    c.Wire(50, 50, 60, 50);  // a lone wire named DPWR: numbered only for the hidden pin
    c.Text("DPWR", 60, 50);
    c.Text("RAIL", 8, 0);  // on the resistor's pin 1
    c.Wire(0, 2, 0, 20);   // a wire on the hidden pin's position connects nothing
    ASSERT_EQ(c.Number(), 0);
    // Geometry numbers IN 1, OUT 2, the resistor's far pin 3; the wire at the
    // hidden pin forms no node. DPWR then gets 4; RAIL is node 3.
    EXPECT_EQ(ndt_Circuit::Nodes(m), (Nodes{1, 4, 0, 2, 0, 3}));
    EXPECT_EQ(ndt_Circuit::Nodes(r), (Nodes{2, 3}));
    EXPECT_EQ(HighestNodeNumber(c.doc()), 4);
    EXPECT_EQ(c.doc()->lastGeometricNode, 3);
    EXPECT_EQ(c.doc()->build.missingHiddenNode, "MISSING2");  // the last one wins
    EXPECT_EQ(c.doc()->build.missingHiddenComponent, m);
}

TEST(NodesNumbering, OnlyTheDocumentsOwnObjectsOnSchematicPagesCount) {
    ndt_Circuit c;
    ComponentDef* res = ndt_Resistor(c);
    SchematicObject* a = c.Part(res, 0, 0);
    SchematicObject* expanded = c.Part(res, 4, 0, 0, -1);  // added by an expansion
    expanded->level = 2;
    SchematicObject* onText = c.Part(res, 4, 0, 0, 1);  // page 1 is a text page
    SchematicObject* b = c.Part(res, 4, 0);
    ASSERT_EQ(c.Number(), 0);
    EXPECT_EQ(ndt_Circuit::Nodes(a), (Nodes{1, 2}));
    EXPECT_EQ(ndt_Circuit::Nodes(b), (Nodes{2, 7}));
    // Parts off the schematic pages still get numbers, but join nothing.
    EXPECT_EQ(ndt_Circuit::Nodes(expanded), (Nodes{3, 4}));
    EXPECT_EQ(ndt_Circuit::Nodes(onText), (Nodes{5, 6}));
}

TEST(NodesNumbering, RenumberingFollowsTheDueRules) {
    ndt_Circuit c;
    SchematicObject* r = c.Part(ndt_Resistor(c), 0, 0);
    CCirDoc* doc = c.doc();
    RunStateValues& run = RunState();
    const int savedAnalysis = run.activeAnalysis;

    // During an analysis only a forced request numbers.
    run.activeAnalysis = 0;
    doc->needsNumbering = 1;
    EXPECT_EQ(RenumberNodesIfChanged(doc, 0), 0);
    EXPECT_EQ(r->pinNodes, nullptr);
    EXPECT_EQ(doc->needsNumbering, 1);
    EXPECT_EQ(RenumberNodesIfChanged(doc, 1), 0);
    EXPECT_EQ(ndt_Circuit::Nodes(r), (Nodes{1, 2}));
    EXPECT_EQ(doc->needsNumbering, 0);
    run.activeAnalysis = savedAnalysis;

    // A pending rewire request asks for numbers.
    EXPECT_GT(doc->nodeLabelCount, 0);
    doc->rewireRequest = 3;
    ASSERT_EQ(RenumberNodesIfChanged(doc, 0), 0);
    EXPECT_EQ(doc->rewireRequest, 0);
    EXPECT_EQ(doc->needsNumbering, 0);

    // Circuits of NodeRecalc objects or more skip automatic numbering and show
    // no stale labels, unless the view shows node numbers.
    const int savedRecalc = Prefs().nodeRecalc;
    Prefs().nodeRecalc = 1;
    doc->needsNumbering = 1;
    ASSERT_EQ(RenumberNodesIfChanged(doc, 0), 0);
    EXPECT_EQ(doc->nodeLabelCount, 0);
    EXPECT_EQ(doc->connectionPointCount, 0);
    EXPECT_EQ(doc->needsNumbering, 1);
    doc->displayFlags |= kShowNodeNumbers;
    ASSERT_EQ(RenumberNodesIfChanged(doc, 0), 0);
    EXPECT_EQ(doc->needsNumbering, 0);
    EXPECT_GT(doc->nodeLabelCount, 0);
    Prefs().nodeRecalc = savedRecalc;

    // A circuit without a window that is not loaded for internal use waits.
    doc->flags &= ~kDocFlagInternalUse;
    doc->needsNumbering = 1;
    EXPECT_EQ(RenumberNodesIfChanged(doc, 1), 0);
    EXPECT_EQ(doc->needsNumbering, 1);
}

TEST(NodesNumbering, OutOfMemoryIsReportedOnceAndRetried) {
    ndt_Circuit c;
    SchematicObject* r = c.Part(ndt_Resistor(c), 0, 0);
    c.Wire(4, 0, 10, 0);
    CCirDoc* doc = c.doc();
    ASSERT_EQ(c.Number(), 0);
    ASSERT_GT(doc->nodeLabelCount, 0);

    const int savedBatch = Startup().batchMode;
    Startup().batchMode = 1;  // the message goes to the batch log, not a box
    doc->needsNumbering = 1;
    SetAllocFailureAfter(0);
    const int result = RenumberNodesIfChanged(doc, 1);
    SetAllocFailureAfter(-1);
    Startup().batchMode = savedBatch;
    EXPECT_EQ(result, kResultShown);
    EXPECT_EQ(doc->nodeLabelCount, 0);
    EXPECT_EQ(doc->needsNumbering, 1);  // the next request tries again

    ASSERT_EQ(RenumberNodesIfChanged(doc, 1), 0);
    EXPECT_EQ(ndt_Circuit::Nodes(r), (Nodes{1, 2}));
    EXPECT_EQ(doc->nodeLabelCount, 2);
}

}  // namespace
