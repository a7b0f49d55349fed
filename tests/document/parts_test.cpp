// Placed parts, selections and grid texts: selecting by page, the selection
// origin, unique grid texts, the node-name flag, the object order, attribute
// text layout, and the two renaming commands.
#include "document/parts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/memory.h"
#include "document/attributes.h"
#include "document/cirdoc.h"
#include "document/component_defs.h"
#include "document/nodelabels.h"
#include "document/pages.h"
#include "parts_fixture.h"
#include "platform/dialog.h"
#include "shell/preferences.h"

namespace {

class PartsTest : public ptf_Circuit {
protected:
    void TearDown() override {
        Prefs().textIncrement = 1;
        ptf_Circuit::TearDown();
    }
    std::string Replace(const char* text, const char* oldWord, const char* newWord, char** mask = nullptr) {
        char* t = DuplicateString(text);
        ReplaceWholeWord(&t, mask, oldWord, newWord);
        std::string out = t;
        FreeString(&t);
        return out;
    }
    int TextPage() { return doc()->GetTextPageIndex(); }
    void SetPageText(int page, const char* text) { SetString(&doc()->Page(page)->storedText, text); }
    std::string PageText(int page) { return doc()->Page(page)->storedText ? doc()->Page(page)->storedText : ""; }
};

TEST_F(PartsTest, SelectingReachesTheActivePageAndDeselectingReachesAll) {
    int page2 = doc()->AppendPage(kPageSchematic, "Second");
    ASSERT_GT(page2, 0);
    SchematicObject* onMain = Part(Def(kTypeResistor), 1, 1, "R1", 0);
    SchematicObject* onSecond = Part(Def(kTypeResistor), 2, 2, "R2", page2);
    GridTextObject* text = Text("OUT", 3, 3, page2);
    doc()->SetActivePage(page2);

    EXPECT_EQ(doc()->SelectObjects(kSelectObjects | kSelectGridTexts, 1), 1);
    EXPECT_FALSE(onMain->IsSelected());
    EXPECT_EQ(onSecond->state, kObjectSelected);
    EXPECT_TRUE(text->IsSelected());
    EXPECT_EQ(doc()->SelectObjects(kSelectObjects | kSelectGridTexts, 1), 0);  // nothing changed

    PoolItem* last = nullptr;
    EXPECT_EQ(doc()->CountSelected(kSelectObjects | kSelectGridTexts, &last), 2);
    EXPECT_EQ(last, text);
    EXPECT_EQ(CountSelectedOfKind(doc(), kSelectObjects, &last), 1);
    EXPECT_EQ(last, onSecond);

    onMain->state = kObjectSelected | kObjectHighlighted;
    EXPECT_EQ(doc()->SelectObjects(kSelectObjects, 0), 1);
    EXPECT_EQ(onMain->state, 0);
    EXPECT_FALSE(onSecond->IsSelected());
    EXPECT_TRUE(text->IsSelected());  // grid texts were not in the mask
}

TEST_F(PartsTest, SelectedNodeLabelIsCountedAndForgotten) {
    doc()->nodeLabels = static_cast<NodeLabel*>(MemAllocZero(sizeof(NodeLabel) * 3));
    doc()->nodeLabelCount = 2;
    doc()->nodeLabels[2].selection = kNodeLabelSelected;
    doc()->selectionWords[kSelectedNodeLabelWord] = 2;
    EXPECT_EQ(doc()->CountSelected(kSelectAll, nullptr), 1);
    EXPECT_EQ(doc()->CountSelected(kSelectObjects, nullptr), 0);
    EXPECT_EQ(doc()->SelectObjects(kSelectAll, 0), 1);
    EXPECT_EQ(doc()->selectionWords[kSelectedNodeLabelWord], -1);
    EXPECT_EQ(doc()->nodeLabels[2].selection, 0);
}

TEST_F(PartsTest, SelectionOriginIsTheSmallestCornerOfTheSelection) {
    EXPECT_EQ(GetSelectionOriginOnPage(doc(), 0), (SchPoint{30000, 30000}));
    Part(Def(kTypeResistor), 40, -3)->state = kObjectSelected;  // a turned part may sit at negative positions
    Text("OUT", 12, 50)->state = kObjectSelected;
    Part(Def(kTypeResistor), 1, -90);                                       // not selected
    Part(Def(kTypeResistor), 2, -80, nullptr, 1)->state = kObjectSelected;  // another page
    EXPECT_EQ(GetSelectionOriginOnPage(doc(), 0), (SchPoint{12, -3}));
}

TEST_F(PartsTest, NodeNameFlagFollowsTheText) {
    struct Case {
        const char* text;
        bool flag;
        bool namesNode;
    };
    const std::vector<Case> cases = {
        {"OUT", false, true},       {"V$1_a+", false, true}, {"R1 OUT", false, false},
        {".TIE R 1", false, false}, {"", false, false},      {"FLAG1", true, false},
    };
    for (const Case& c : cases) {
        GridTextObject* t = Text(c.text);
        t->flags = static_cast<uint8_t>((c.flag ? kGridTextIsFlag : 0) | (c.namesNode ? 0 : kGridTextNamesNode));
        t->UpdateNodeNameFlag();
        EXPECT_EQ((t->flags & kGridTextNamesNode) != 0, c.namesNode) << c.text;
    }
    GridTextObject* none = Text("X");
    FreeString(&none->text);
    none->UpdateNodeNameFlag();
    EXPECT_EQ(none->flags & kGridTextNamesNode, 0);
}

TEST_F(PartsTest, GridTextLookupsIgnoreCase) {
    GridTextObject* a = Text("Out");
    GridTextObject* b = Text("OUT");
    GridTextObject* c = Text("IN");
    EXPECT_EQ(FindGridText(doc(), "out"), a);
    EXPECT_EQ(FindGridText(doc(), "nowhere"), nullptr);
    EXPECT_TRUE(HasTwinGridText(doc(), a));
    EXPECT_FALSE(HasTwinGridText(doc(), c));
    EXPECT_FALSE(IsNodeNameTaken(doc(), "out"));
    b->node = 0;  // ground is a node too
    EXPECT_TRUE(IsNodeNameTaken(doc(), "out"));
    c->node = -3;  // a group without a number still joined something
    EXPECT_TRUE(IsNodeNameTaken(doc(), "IN"));
}

TEST_F(PartsTest, UniqueGridTextsTakeTheNextFreeNumber) {
    struct Case {
        const char* text;
        bool flag;
        bool increment;  // the "CIR Text Increment" preference
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"NET1", false, true, "NET3"},   // NET1 and NET2 exist
        {"FLAG", true, false, "FLAG1"},  // flags always
        {"NET1", false, false, "NET1"},  // plain texts only with the preference
        {"net2", false, true, "net3"},  {"A007", false, true, "A8"},
    };
    Text("NET1");
    Text("NET2");
    for (const Case& c : cases) {
        Prefs().textIncrement = c.increment ? 1 : 0;
        GridTextObject* t = Text(c.text);
        if (c.flag) t->flags = kGridTextIsFlag;
        doc()->MakeUniqueGridText(t);
        EXPECT_STREQ(t->text, c.expected) << c.text;
        doc()->gridTexts.Delete(t);
    }
}

TEST_F(PartsTest, CopySessionContinuesPrefixesButNeverReusesAnExistingName) {
    Text("NET1");
    ASSERT_EQ(BeginUniqueTextSession(doc()), 0);
    GridTextObject* first = Text("NET1");
    doc()->MakeUniqueGridText(first);
    EXPECT_STREQ(first->text, "NET2");
    // Meanwhile NET3 appeared (pasted, typed): the session must not hand it out
    // again, or the two nets would be joined.
    Text("NET3");
    GridTextObject* second = Text("NET1");
    doc()->MakeUniqueGridText(second);
    EXPECT_STREQ(second->text, "NET4");
    GridTextObject* third = Text("NET1");
    doc()->MakeUniqueGridText(third);
    EXPECT_STREQ(third->text, "NET5");
    EndUniqueTextSession(doc());
    EXPECT_EQ(doc()->uniqueTexts, nullptr);
    EXPECT_EQ(doc()->uniqueTextCount, 0);
    // A session left open goes with the circuit (the leak checker watches).
    ASSERT_EQ(BeginUniqueTextSession(doc()), 0);
    doc()->MakeUniqueGridText(Text("NET1"));
    EXPECT_EQ(doc()->uniqueTextCount, 1);
}

TEST_F(PartsTest, WholeWordsAreReplacedOnce) {
    struct Case {
        const char* text;
        const char* oldWord;
        const char* newWord;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"R1+R11*(R1)", "R1", "R10", "R10+R11*(R10)"}, {"r1.I", "R1", "RLOAD", "RLOAD.I"},
        {"XR1 R1X _R1", "R1", "R2", "XR1 R1X _R1"},    {"R1", "R1", "", ""},
        {"a\tR1\r\nR1;R1", "R1", "Q", "a\tQ\r\nQ;Q"},  {"R1", "", "X", "R1"},
    };
    for (const Case& c : cases) EXPECT_EQ(Replace(c.text, c.oldWord, c.newWord), c.expected) << c.text;

    // With a mask a replaced word is never replaced again.
    char* mask = DuplicateString("xxxxxxxxx");
    char* text = DuplicateString("R1 R2 R10");
    EXPECT_EQ(ReplaceWholeWord(&text, &mask, "R1", "R2"), 1);
    EXPECT_EQ(ReplaceWholeWord(&text, &mask, "R2", "R3"), 1);
    EXPECT_STREQ(text, "R2 R3 R10");
    EXPECT_STREQ(mask, "  x  xxxx");
    FreeString(&mask);
    FreeString(&text);
}

TEST_F(PartsTest, OutOfMemoryLeavesTextsAsTheyWere) {
    GridTextObject* twin = Text("NET1");
    GridTextObject* copy = Text("NET1");
    char* text = DuplicateString("R1+R1");
    SetAllocFailureAfter(0);
    EXPECT_EQ(ReplaceWholeWord(&text, nullptr, "R1", "R2"), 0);
    EXPECT_FALSE(RenameInText(doc(), &text, nullptr, nullptr));
    doc()->MakeUniqueGridText(copy);
    SetAllocFailureAfter(-1);
    EXPECT_STREQ(text, "R1+R1");
    EXPECT_STREQ(copy->text, "NET1");
    EXPECT_STREQ(twin->text, "NET1");
    FreeString(&text);
}

TEST_F(PartsTest, SortOrdersByRowsOrColumnsWithGraphicsFirst) {
    SchematicObject* a = Part(Def(kTypeResistor), 5, 1);
    SchematicObject* g1 = Object(kObjectGraphic, 0, 0);
    SchematicObject* b = Object(kObjectWire, -4, 5);
    SchematicObject* c = Part(Def(kTypeResistor), 2, 5);
    SchematicObject* g2 = Object(kObjectGraphic, -9, -9);
    SchematicObject* d = Part(Def(kTypeResistor), 2, -7);
    SchematicObject* e = Part(Def(kTypeResistor), 2, 5);  // same place as c: stays after it
    auto order = [this] {
        std::vector<SchematicObject*> v;
        for (PoolItem* i = doc()->objects.first; i; i = i->next) v.push_back(static_cast<SchematicObject*>(i));
        return v;
    };
    SortObjects(doc(), false);
    EXPECT_EQ(order(), (std::vector<SchematicObject*>{g1, g2, d, a, b, c, e}));
    SortObjects(doc(), true);
    EXPECT_EQ(order(), (std::vector<SchematicObject*>{g1, g2, b, d, c, e, a}));
    EXPECT_EQ(doc()->objects.count, 7);
    EXPECT_EQ(doc()->objects.last, a);
}

TEST_F(PartsTest, AttributeTextsAreLaidOutForEveryOrientation) {
    struct TenPerCharacter final : TextMetricsPort {
        void MeasureText(const FontSpec&, const char* text, int* w, int* h) override {
            *w = static_cast<int>(std::strlen(text)) * 10;
            *h = 7;
        }
    } metrics;
    ScopedPort<TextMetricsPort> installed(InstallTextMetrics, &metrics);
    ComponentDef* def = Def(kTypeResistor);
    def->labelOffsets[0] = {3, 4};               // horizontal anchor
    def->labelOffsets[1] = {20, 30};             // vertical anchor
    SchematicObject* r = Part(def, 0, 0, "R1");  // flags 0: shown as the value, "R1"
    PartAttribute* empty = SetAttribute(doc(), r, kAttrValue, "");
    PartAttribute* model = SetAttribute(doc(), r, kAttrModel, "RM");
    model->flags = kAttrShowName | kAttrShowValue;  // "MODEL=RM", 8 characters
    PartAttribute* part = FindAttribute(r, kAttrPart);
    struct Case {
        int orientation;
        int partX, partY, modelX, modelY;
    };
    const std::vector<Case> cases = {
        {0, 3, 4, 3, 11},    {1, 20, 30, 20, 37},   {2, -23, -11, -83, -18}, {3, -40, -37, -100, -44},
        {4, 3, -11, 3, -18}, {5, 20, -37, 20, -44}, {6, -23, 4, -83, 11},    {7, -40, 30, -100, 37},
    };
    for (const Case& c : cases) {
        r->orientation = static_cast<int16_t>(c.orientation);
        empty->offsetX = empty->offsetY = 99;
        r->LayoutAttributeTexts();
        EXPECT_EQ(part->offsetX, c.partX) << c.orientation;
        EXPECT_EQ(part->offsetY, c.partY) << c.orientation;
        EXPECT_EQ(model->offsetX, c.modelX) << c.orientation;
        EXPECT_EQ(model->offsetY, c.modelY) << c.orientation;
        EXPECT_EQ(empty->offsetX, 0);
        EXPECT_EQ(empty->offsetY, 0);
    }
}

TEST_F(PartsTest, MeterLimitsSitInTheCornersOfItsShape) {
    struct FixedMetrics final : TextMetricsPort {
        void MeasureText(const FontSpec&, const char*, int* w, int* h) override { *w = 10, *h = 7; }
    } metrics;
    struct MeterShape final : ShapeLibraryPort {
        const char* ShapeName(const Shape*) override { return nullptr; }
        bool ShapeRect(const SchematicObject*, int32_t rect[4]) override {
            rect[0] = -20, rect[1] = -10, rect[2] = 40, rect[3] = 30;
            return true;
        }
    } shapes;
    ScopedPort<TextMetricsPort> metricsInstalled(InstallTextMetrics, &metrics);
    ScopedPort<ShapeLibraryPort> shapesInstalled(InstallShapeLibrary, &shapes);
    SchematicObject* meter = Part(Def(142, "METER"), 0, 0, "Meter1");
    PartAttribute* low = SetAttribute(doc(), meter, kAttrLow, "0");
    PartAttribute* high = SetAttribute(doc(), meter, kAttrHigh, "10");
    meter->orientation = 1;  // a quarter turn: (x, y) becomes (-y, x)
    meter->LayoutAttributeTexts();
    EXPECT_EQ(low->offsetX, -14);
    EXPECT_EQ(low->offsetY, -12);
    EXPECT_EQ(high->offsetX, -14);
    EXPECT_EQ(high->offsetY, 24);
}

TEST_F(PartsTest, RenameComponentsNumbersByPositionAndUpdatesEveryText) {
    ComponentDef* res = Def(kTypeResistor, "RESISTOR");
    SchematicObject* right = Part(res, 10, 5, "R1");
    SchematicObject* left = Part(res, 2, 5, "R2");
    SchematicObject* top = Part(res, 5, 1, "R3");
    int page2 = doc()->AppendPage(kPageSchematic, "Second");
    SchematicObject* later = Part(res, 0, 0, "R4", page2);  // pages in page order
    SchematicObject* tie = Part(Def(kTypeTie, "TIE", 1), 0, 0, "T9");
    SetAttribute(doc(), left, kAttrValue, "2*R1+R3");
    GridTextObject* define = Text(".define RSUM R1+R2+R3+R11");
    GridTextObject* tieLine = Text(".TIE Resistor R1 R1 R2 R3");  // pin R1, then the part list
    GridTextObject* flag = Text(".define R1 5");
    flag->flags = kGridTextIsFlag;
    GridTextObject* plain = Text("R1 and R2");
    SetPageText(TextPage(), ".param a={R1}\r\n+ b={R2}\r\n* R1 comment\r\nR1 1 2 5\r\n.IC V(R3)=1\r\n");

    RenameComponentsInOrder(doc(), false);  // Left to Right: rows, each read left to right

    EXPECT_EQ(Part(top), "R1");
    EXPECT_EQ(Part(left), "R2");
    EXPECT_EQ(Part(right), "R3");
    EXPECT_EQ(Part(later), "R4");
    EXPECT_EQ(Part(tie), "T9");
    EXPECT_EQ(Attr(left, kAttrValue), "2*R3+R1");
    EXPECT_STREQ(define->text, ".define RSUM R3+R2+R1+R11");
    EXPECT_STREQ(tieLine->text, ".TIE Resistor R1 R3 R2 R1");
    EXPECT_STREQ(flag->text, ".define R1 5");
    EXPECT_STREQ(plain->text, "R1 and R2");
    EXPECT_EQ(PageText(TextPage()), ".param a={R3}\r\n+ b={R2}\r\n* R1 comment\r\nR1 1 2 5\r\n.IC V(R1)=1\r\n");
    for (SchematicObject* o : {right, left, top}) EXPECT_EQ(FindAttribute(o, kAttrTempPart), nullptr);
    EXPECT_EQ(doc()->partCounters['R' - 'A'], 4);
    EXPECT_TRUE(doc()->IsDirty());
}

TEST_F(PartsTest, RenameComponentsAsksForTheOrderAndCancelChangesNothing) {
    ComponentDef* res = Def(kTypeResistor, "RESISTOR");
    SchematicObject* low = Part(res, 1, 9, "R2");
    SchematicObject* high = Part(res, 3, 1, "R1");
    int answer = platform::dlgid::Cancel;
    platform::ScopedModalAnswerer answerer([&answer](platform::ModalRequest& r) {
        if (auto* d = dynamic_cast<platform::Dialog*>(&r); d && answer == platform::dlgid::Ok)
            d->CheckRadio(1001, 1002, 1002);  // Top to Bottom
        return answer;
    });
    EXPECT_EQ(RenameComponents(doc()), 0);
    EXPECT_EQ(Part(low), "R2");
    answer = platform::dlgid::Ok;
    EXPECT_EQ(RenameComponents(doc()), 1);
    EXPECT_EQ(RenameComponentsOrder(), 1);
    EXPECT_EQ(Part(low), "R1");  // column x = 1 comes first
    EXPECT_EQ(Part(high), "R2");
}

TEST_F(PartsTest, DefinesThatNameANodeMoveOutOfTheWay) {
    GridTextObject* node = Text("OUT");
    node->node = 3;
    GridTextObject* taken = Text("_OUT");
    taken->node = 4;
    GridTextObject* define = Text(".DEFINE OUT 5");
    GridTextObject* unused = Text(".define GAIN 2");
    GridTextObject* use = Text(".param p=OUT*2");
    SchematicObject* r = Part(Def(kTypeResistor), 0, 0, "OUT");
    SetAttribute(doc(), r, kAttrValue, "OUT/2");
    SetPageText(TextPage(), ".define OUT2 OUT+1\r\nR1 OUT 0 OUT\r\n.IC V(X)=OUT\r\n");

    EXPECT_EQ(RenameCollidingDefines(doc()), 1);

    EXPECT_STREQ(define->text, ".DEFINE __OUT 5");
    EXPECT_STREQ(unused->text, ".define GAIN 2");
    EXPECT_STREQ(use->text, ".param p=__OUT*2");
    EXPECT_STREQ(node->text, "OUT");
    EXPECT_EQ(Part(r), "OUT");
    EXPECT_EQ(Attr(r, kAttrValue), "__OUT/2");
    EXPECT_EQ(PageText(TextPage()), ".define OUT2 __OUT+1\r\nR1 OUT 0 OUT\r\n.IC V(X)=__OUT\r\n");
}

}  // namespace
