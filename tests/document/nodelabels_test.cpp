// Node labels (with the analog/digital interface entries), their text and their
// offsets in the circuit file, connection points, wire nodes, the lookups in
// the compiler's node-name table and stored state variables.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "core/memory.h"
#include "core/port.h"
#include "core/sectionfile.h"
#include "core/services.h"
#include "document/cirdoc.h"
#include "document/nodelabels.h"
#include "document/nodes.h"
#include "shell/app.h"
#include "tests/document/nodes_fixture.h"
#include "tests/support/tempdir.h"

namespace {

// A simulator whose answers a test sets; digital states show as letters.
struct nlt_Simulation final : SimulationPort {
    StateVariableList* list = nullptr;
    SimulatorVectors* vectors = nullptr;
    int mode = -1;
    StateVariableList* StateVariables() override { return list; }
    SimulatorVectors* Vectors() override { return vectors; }
    int AnalysisDisplayMode() override { return mode; }
    char DigitalStateChar(int state) override { return state >= 0 && state < 6 ? kDigitalStateLetters[state] : '?'; }
    void FormatNodeValue(CCirDoc*, char* out, size_t size, double re, double im) override {
        snprintf(out, size, "%g|%g", re, im);
    }
};

// The compiler's name index and the analysed circuit of one expansion "X1",
// for the one document analysed.
struct nlt_NameIndex final : NodeNameIndexPort {
    const CCTDoc* analysed = nullptr;
    int count = 0;
    int IndexCount(const CCTDoc* document) override { return document == analysed ? count : 0; }
    int IndexFind(const CCTDoc*, const char* name) override { return std::strcmp(name, "OUT") == 0 ? 3 : -1; }
    char* QualifyName(const CCTDoc*, const char* name, int) override { return DuplicateString(name); }
    const char* InstanceName(const CCTDoc*, int level) override { return level == 2 ? "X1" : nullptr; }
    bool HasAnalysisCircuit(const CCTDoc* document) override { return document == analysed; }
};

std::string nlt_Label(CCirDoc* doc, int i, int flags = kLabelShowNumber) {
    NodeLabel* label = GetNodeLabel(doc, i);
    if (!label) return "<none>";
    char text[64];
    return FormatNodeLabel(*label, text, sizeof text, flags, doc);
}

ComponentDef* nlt_Inverter(ndt_Circuit& c) { return c.Def(kTypeInv, {{0, 0}, {4, 0}}, "INV"); }

TEST(NodeLabels, OneLabelPerNodeAnchoredAtItsFirstPin) {
    ndt_Circuit c;
    ComponentDef* res = ndt_Resistor(c);
    const int page2 = c.AddSchematicPage("Page 2");
    c.Part(res, 10, 0);
    c.Part(res, 14, 0);
    c.Part(ndt_Ground(c), 18, 0);
    c.Part(res, 0, 0, 0, page2);
    ASSERT_EQ(c.Number(), 0);
    CCirDoc* doc = c.doc();
    ASSERT_EQ(doc->nodeLabelCount, 4);
    struct Expect {
        int x, y, page;
    };
    const Expect anchors[] = {{10, 0, 0}, {14, 0, 0}, {0, 0, page2}, {4, 0, page2}};
    for (int i = 1; i <= 4; ++i) {
        const NodeLabel* label = GetNodeLabel(doc, i);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->node, i);
        EXPECT_EQ(label->valueIndex, i);
        EXPECT_EQ(label->kind, kNodeLabelAnalog);
        EXPECT_EQ(label->interfaceKind, kInterfaceNone);
        EXPECT_EQ(label->x, anchors[i - 1].x) << i;
        EXPECT_EQ(label->y, anchors[i - 1].y) << i;
        EXPECT_EQ(label->page, anchors[i - 1].page) << i;
    }
    EXPECT_EQ(GetNodeLabel(doc, 0), nullptr);  // entry 0 is never a label
    EXPECT_EQ(GetNodeLabel(doc, 5), nullptr);
}

TEST(NodeLabels, InterfaceEntriesWhereDigitalPinsMeetAnalogNodes) {
    // A resistor R (0,0)-(4,0); inverter U1 with its input on R's pin 1.
    ndt_Circuit c;
    SchematicObject* r = c.Part(ndt_Resistor(c), 0, 0);
    ComponentDef* inv = nlt_Inverter(c);
    SchematicObject* u1 = c.Part(inv, 4, 0);
    ASSERT_EQ(c.Number(), 0);
    EXPECT_EQ(ndt_Circuit::Nodes(r), (std::vector<int>{1, 2}));
    EXPECT_EQ(ndt_Circuit::Nodes(u1), (std::vector<int>{2, 3}));
    CCirDoc* doc = c.doc();
    ASSERT_EQ(doc->nodeLabelCount, 4);
    EXPECT_EQ(nlt_Label(doc, 2), "2");
    EXPECT_EQ(GetNodeLabel(doc, 3)->kind, kNodeLabelDigital);  // the inverter's output
    EXPECT_EQ(nlt_Label(doc, 4), "2$ATOD");
    EXPECT_EQ(GetNodeLabel(doc, 4)->node, 2);
    EXPECT_EQ(GetNodeLabel(doc, 4)->kind, kNodeLabelDigital);

    // A second gate whose output drives that node turns it into $DTOA.
    SchematicObject* u2 = c.Part(inv, 0, 10);
    c.Wire(4, 10, 4, 0);
    ASSERT_EQ(c.Number(), 0);
    EXPECT_EQ(ndt_Circuit::Nodes(u2), (std::vector<int>{4, 2}));
    ASSERT_EQ(doc->nodeLabelCount, 5);
    EXPECT_EQ(nlt_Label(doc, 5), "2$DTOA");
    EXPECT_EQ(nlt_Label(doc, 4), "4");

    // A digital pin of a macro on an analog node gets no interface entry.
    ndt_Circuit m;
    m.Part(ndt_Resistor(m), 0, 0);
    m.Part(m.Def(kTypeMacro, {{0, 0, 'd', "D"}, {4, 0, 'a', "A"}}, "MAC"), 4, 0);
    ASSERT_EQ(m.Number(), 0);
    EXPECT_EQ(m.doc()->nodeLabelCount, 3);
    EXPECT_EQ(GetNodeLabel(m.doc(), 2)->kind, kNodeLabelAnalog);
}

TEST(NodeLabels, LabelTextShowsNumberAndValue) {
    NodeLabel label{};
    label.node = 7;
    label.valueIndex = 2;
    label.kind = kNodeLabelAnalog;
    label.storedValue[0] = 1.5;
    label.storedValue[1] = 0.25;
    char text[64];
    EXPECT_STREQ(FormatNodeLabel(label, text, sizeof text, kLabelShowNumber, nullptr), "7");
    EXPECT_STREQ(FormatNodeLabel(label, text, sizeof text, 0, nullptr), "");

    // With the simulator's vectors the value comes from them, but only for an
    // index inside them; otherwise the stored value is shown.
    double solution[3] = {0.0, 0.0, 4.0};
    int32_t states[3] = {0, 3, 5};
    SimulatorVectors vectors;
    vectors.solution = solution;
    vectors.solutionCount = 3;
    vectors.digitalStates[0] = states;
    vectors.digitalCount = 3;
    nlt_Simulation simulation;
    simulation.vectors = &vectors;
    simulation.mode = 0;
    int& mode = simulation.mode;
    auto installed = std::make_unique<ScopedPort<SimulationPort>>(InstallSimulation, &simulation);
    EXPECT_STREQ(FormatNodeLabel(label, text, sizeof text, kLabelShowNumber | kLabelShowValue, nullptr), "7:4|0");
    label.valueIndex = 3;  // beyond the vectors
    EXPECT_STREQ(FormatNodeLabel(label, text, sizeof text, kLabelShowValue, nullptr), "1.5|0");
    mode = 4;  // complex display shows the stored pair
    EXPECT_STREQ(FormatNodeLabel(label, text, sizeof text, kLabelShowValue, nullptr), "1.5|0.25");
    mode = 0;
    label.kind = kNodeLabelDigital;
    label.valueIndex = 1;
    EXPECT_STREQ(FormatNodeLabel(label, text, sizeof text, kLabelShowNumber | kLabelShowValue, nullptr), "7:1");
    label.interfaceKind = kInterfaceDtoA;
    EXPECT_STREQ(FormatNodeLabel(label, text, sizeof text, kLabelShowNumber, nullptr), "7$DTOA");
    mode = -1;  // no analysis: the stored state
    label.storedValue[0] = 5.0;
    EXPECT_STREQ(FormatNodeLabel(label, text, sizeof text, kLabelShowValue, nullptr), "Z");
    installed.reset();

    // A short buffer is cut, never overrun.
    char small[3];
    label.node = 12345;
    EXPECT_STREQ(FormatNodeLabel(label, small, sizeof small, kLabelShowNumber | kLabelShowValue, nullptr), "12");

    char* s = DuplicateString("N7");
    ASSERT_TRUE(AppendInterfaceSuffix(&s, kInterfaceAtoD));
    EXPECT_STREQ(s, "N7$ATOD");
    FreeString(&s);
}

TEST(NodeLabels, OffsetsSurviveRenumberingAndTheFile) {
    ndt_Circuit c;
    ComponentDef* res = ndt_Resistor(c);
    c.Part(res, 0, 0);
    c.Part(res, 4, 0);
    ASSERT_EQ(c.Number(), 0);
    CCirDoc* doc = c.doc();
    ASSERT_EQ(doc->nodeLabelCount, 3);
    GetNodeLabel(doc, 2)->offsetX = 5;
    GetNodeLabel(doc, 2)->offsetY = -6;
    ASSERT_EQ(c.Number(), 0);
    EXPECT_EQ(GetNodeLabel(doc, 2)->offsetX, 5);
    EXPECT_EQ(GetNodeLabel(doc, 2)->offsetY, -6);
    EXPECT_EQ(GetNodeLabel(doc, 1)->offsetX, 0);

    twtest::TempDir dir("nlt_offsets");
    ASSERT_TRUE(dir.Valid());
    const std::string path = dir.File("offsets.cir");
    {
        SectionFile out;
        ASSERT_EQ(out.CreateText(path.c_str()), 0);
        EXPECT_EQ(SerializeNodeOffsets(out, doc), 0);
        EXPECT_EQ(out.Close(), 0);
    }
    // The section as written, with a short line that readers skip.
    FILE* f = fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char bytes[200] = {};
    EXPECT_GT(fread(bytes, 1, sizeof bytes - 1, f), 0u);
    fclose(f);
    EXPECT_STREQ(bytes, "[Node Offsets]\r\nOffset=2,0,4,0,5,-6\r\n");
    f = fopen(path.c_str(), "ab");
    fputs("Offset=1,0,0\r\n", f);
    fclose(f);

    // A fresh circuit with the same drawing takes the offset when numbered.
    ndt_Circuit again;
    ComponentDef* res2 = ndt_Resistor(again);
    again.Part(res2, 0, 0);
    again.Part(res2, 4, 0);
    {
        SectionFile in;
        ASSERT_EQ(in.OpenText(path.c_str()), 0);
        char header[64];
        ASSERT_EQ(in.ReadLine(header, sizeof header), 0);
        EXPECT_EQ(SerializeNodeOffsets(in, again.doc()), 0);
        in.Close();
    }
    EXPECT_EQ(again.doc()->nodeLabelCount, 1);
    ASSERT_EQ(again.Number(), 0);
    ASSERT_EQ(again.doc()->nodeLabelCount, 3);
    EXPECT_EQ(GetNodeLabel(again.doc(), 2)->offsetX, 5);
    EXPECT_EQ(GetNodeLabel(again.doc(), 2)->offsetY, -6);

    // Nothing to keep: no section at all.
    ndt_Circuit plain;
    ASSERT_EQ(plain.Number(), 0);
    const std::string empty = dir.File("empty.cir");
    SectionFile out;
    ASSERT_EQ(out.CreateText(empty.c_str()), 0);
    EXPECT_EQ(SerializeNodeOffsets(out, plain.doc()), 0);
    EXPECT_EQ(out.Close(), 0);
    f = fopen(empty.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(fgetc(f), EOF);
    fclose(f);
}

TEST(NodeLabels, ConnectionPointsInSlotOrder) {
    ndt_Circuit c;
    ComponentDef* res = ndt_Resistor(c);
    c.Part(res, 0, 5);
    c.Wire(4, 5, 10, 5);
    c.Wire(4, 5, 4, -3);  // three meet at (4, 5): a junction
    c.Part(res, -6, -3);  // pins at (-6, -3) and (-2, -3), apart from the wire
    GridTextObject* name = c.Text("NET", 10, 5);
    c.Text("NET", 99, 99);  // no point there
    ASSERT_EQ(c.Number(), 0);
    CCirDoc* doc = c.doc();
    struct Expect {
        int x, y, kind;
    };
    // Page 0 points by y, then x; then the node-name text's point.
    const std::vector<Expect> expected = {
        {-6, -3, kPointPlain},  {-2, -3, kPointPlain}, {4, -3, kPointPlain},    {0, 5, kPointPlain},
        {4, 5, kPointJunction}, {10, 5, kPointPlain},  {10, 5, kPointNodeName},
    };
    ASSERT_EQ(doc->connectionPointCount, static_cast<int>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        const ConnectionPoint& p = doc->connectionPoints[i];
        EXPECT_EQ(p.x, expected[i].x) << i;
        EXPECT_EQ(p.y, expected[i].y) << i;
        EXPECT_EQ(p.kind, expected[i].kind) << i;
        EXPECT_EQ(p.page, 0) << i;
        EXPECT_EQ(p.labelHere, 0) << i;  // set only for circuits with a window
    }
    // The node-name text's node is the node of its point, found by number.
    EXPECT_EQ(name->node, doc->connectionPoints[4].node);
    int named = 0;
    for (int i = 0; i < doc->connectionPointCount; ++i)
        if (doc->connectionPoints[i].node == name->node) ++named;
    EXPECT_EQ(named, 4);  // the junction, (4,-3), (10,5) and the text
}

TEST(NodeLabels, WireNodesFromPinsWiresAndTies) {
    ndt_Circuit c;
    ComponentDef* res = ndt_Resistor(c);
    ComponentDef* tie = ndt_Tie(c);
    SchematicObject* r = c.Part(res, 0, 0);
    SchematicObject* u = c.Part(nlt_Inverter(c), 50, 0);
    // A chain of five wires from the resistor's pin 1, listed from the far end.
    std::vector<SchematicObject*> chain;
    for (int i = 4; i >= 0; --i) chain.push_back(c.Wire(4 + 4 * i, 0, 8 + 4 * i, 0));
    SchematicObject* digital = c.Wire(54, 0, 60, 0);  // on the inverter's output
    c.Part(tie, 24, 0, 0, 0, "LINK");                 // at the chain's far end
    c.Part(tie, 70, 10, 0, 0, "link");
    SchematicObject* viaTie = c.Wire(70, 10, 80, 10);  // reaches the chain only by name
    SchematicObject* lone = c.Wire(100, 100, 110, 100);
    ASSERT_EQ(c.Number(), 0);
    const int chainNode = r->pinNodes[1];
    for (SchematicObject* w : chain) w->wireNode = 99;  // stale values are cleared first
    digital->styleFlags = 0;

    ASSERT_EQ(AssignWireNodes(c.doc()), 0);
    for (SchematicObject* w : chain) EXPECT_EQ(w->wireNode, chainNode);
    EXPECT_EQ(digital->wireNode, u->pinNodes[1]);
    EXPECT_NE(digital->styleFlags & kWireDigital, 0);
    EXPECT_EQ(chain[4]->styleFlags & kWireDigital, 0);
    EXPECT_EQ(viaTie->wireNode, chainNode);
    EXPECT_EQ(lone->wireNode, -1);
}

TEST(NodeNames, LookupsInTheCompiledTable) {
    CCirDoc doc;
    doc.build.nodeNames = {
        {"0", 0, 1, 0},    {"IN", 1, 1, 0},   {"X1.IN", 1, 2, 0}, {"OUT", 2, 1, 0},
        {"X1.A", 3, 2, 0}, {"X1.B", 3, 2, 1}, {"FIRST", 7, 1, 0}, {"LAST", 7, 1, 0},
    };
    const CCirDoc* d = &doc;

    EXPECT_STREQ(GetNodeName(d, 1, 1, 0, 0), "IN");
    EXPECT_STREQ(GetNodeName(d, 1, 2, 0, 0), "IN");  // X1.IN, after its last "."
    EXPECT_STREQ(GetNodeName(d, 3, 5, 1, 0), "B");   // no entry at level 5: any level
    EXPECT_STREQ(GetNodeName(d, 9, 1, 0, 0), "");
    EXPECT_STREQ(GetNodeName(d, 7, 1, 0, 0), "LAST");
    EXPECT_STREQ(GetFirstNodeName(d, 7, 1, 0, 0), "FIRST");
    EXPECT_STREQ(GetNodeName(d, 3, 2, 0, 1), "X1.A");  // relative, but no circuit analysed
    nlt_NameIndex index;
    index.analysed = d;
    ScopedPort<NodeNameIndexPort> installed(InstallNodeNameIndex, &index);
    EXPECT_STREQ(GetNodeName(d, 3, 2, 0, 1), "A");  // relative to its expansion
    EXPECT_STREQ(GetNodeName(d, 0, 1, 0, 1), "0");

    EXPECT_EQ(FindNodeIndex(d, "in", 1, -1), 1);
    EXPECT_EQ(FindNodeIndex(d, "OUT", 1, 1), -1);  // kind filter
    EXPECT_EQ(FindNodeIndex(d, "X1.B", 0, 1), 5);
    EXPECT_EQ(FindNodeNumber(d, "0", 1, -1), 0);
    EXPECT_EQ(FindNodeNumber(d, "out", 0, -1), 2);
    EXPECT_EQ(FindNodeNumber(d, "NOPE", 1, -1), -1);

    // With the compiler's name index a miss there is final.
    index.count = 8;
    EXPECT_EQ(FindNodeNumber(d, "out", 1, -1), 2);
    EXPECT_EQ(FindNodeIndex(d, "IN", 1, -1), -1);

    // Another circuit has its own table (here none): only ground is known.
    CCirDoc other;
    EXPECT_STREQ(GetNodeName(&other, 1, 1, 0, 0), "");
    EXPECT_EQ(FindNodeIndex(&other, "IN", 1, -1), -1);
    EXPECT_EQ(FindNodeNumber(&other, "0", 1, -1), 0);
    EXPECT_EQ(FindNodeNumber(nullptr, "IN", 1, -1), -1);
}

TEST(StateVariables, OnlyEntriesInsideTheVectorsAreApplied) {
    double solution[6] = {};
    int32_t states[3][4] = {};
    SimulatorVectors vectors;
    vectors.solution = solution;
    vectors.solutionCount = 6;
    for (int i = 0; i < 3; ++i) vectors.digitalStates[i] = states[i];
    vectors.digitalCount = 4;
    vectors.nodeLabelCount = 3;
    StateVariable entries[] = {
        {'V', 2, 1, -1, 2.5, 0}, {'V', 6, 1, -1, 9.0, 0},  // the second lies past the solution
        {'D', 3, 0, -1, 0.0, 1}, {'D', -1, 0, -1, 0.0, 1}, {'I', 0, 0, 2, 0.125, 0},
        {'I', 0, 0, 7, 1.0, 0},  {'I', 0, 0, -1, 1.0, 0},  // no inductor
    };
    StateVariableList list;
    list.entries = entries;
    list.count = static_cast<int32_t>(std::size(entries));
    list.mode = 1;
    list.loaded = true;
    nlt_Simulation simulation;
    simulation.list = &list;
    simulation.vectors = &vectors;
    ScopedPort<SimulationPort> installed(InstallSimulation, &simulation);
    for (double& v : solution) v = -1.0;

    const int savedBatch = Startup().batchMode;
    Startup().batchMode = 1;  // the warning goes to the batch log
    EXPECT_EQ(ApplyStateVariables(), 3);
    Startup().batchMode = savedBatch;
    EXPECT_EQ(solution[0], 0.0);  // ground
    EXPECT_EQ(solution[1], 0.0);
    EXPECT_EQ(solution[2], 2.5);
    EXPECT_EQ(solution[5], 0.125);  // label count 3 + branch 2
    for (int i = 0; i < 3; ++i) EXPECT_EQ(states[i][3], 1 | 0x1f8);

    // Neither mode 1 with a loaded list nor a transient or AC start: nothing.
    list.mode = 0;
    solution[2] = -1.0;
    EXPECT_EQ(ApplyStateVariables(), 0);
    EXPECT_EQ(solution[2], -1.0);
}

}  // namespace
