#include "document/attributes.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "core/port.h"
#include "core/result.h"
#include "document/cirdoc.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"

namespace {

// A placed component (a zeroed record, as the object list makes them) with
// an empty attribute list.
class PartAttrTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(static_cast<void*>(&part), 0, sizeof part);
        part.objectKind = kObjectComponent;
        InitAttributeList(&part.attributes);
        savedStep = Startup().attributeTextStep;
        savedFont = ItemStyleTable[kItemAttributeText];
    }
    void TearDown() override {
        SetAllocFailureAfter(-1);
        Startup().attributeTextStep = savedStep;
        ItemStyleTable[kItemAttributeText] = savedFont;
        part.attributes.DeleteAll();
    }

    PartAttribute* Add(const char* name, const char* value, uint16_t flags = 0) {
        PartAttribute* a = NewAttributeDefaultFont(&part);
        EXPECT_NE(a, nullptr);
        EXPECT_EQ(a->Assign(name, value), kOk);
        a->flags = flags;
        return a;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (PoolItem* i = part.attributes.first; i; i = i->next)
            names.push_back(static_cast<PartAttribute*>(i)->Name());
        return names;
    }

    SchematicObject part;
    int savedStep = 0;
    FontSpec savedFont;
};

TEST_F(PartAttrTest, StandardIdsByNameAndBack) {
    for (int id = 1; id <= kStandardAttributeCount; ++id) {
        std::string name = GetAttributeName(id);
        ASSERT_FALSE(name.empty()) << id;
        EXPECT_EQ(GetAttributeId(name.c_str()), id) << name;
        std::string lower = name;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(GetAttributeId(lower.c_str()), id) << lower;
    }
    struct Case {
        int id;
        const char* name;
    } cases[] = {
        {1, "PART"},          {2, "VALUE"},
        {6, "TIMING MODEL"},  {29, "PARAMS:"},
        {31, "TEXT:"},        {33, " SPICENAME "},
        {41, " TEMPPART"},    {45, " SLIDER_ORG "},
        {57, " CURRENT_OUT"}, {62, "TURN-ON VOLTAGES"},
        {77, "COLOR_INDEX"},  {92, "BIDIRECTIONAL"},
    };
    for (const Case& c : cases) EXPECT_STREQ(GetAttributeName(c.id), c.name) << c.id;
    // The blanks of internal names are part of them.
    for (const char* text : {"SPICENAME", " SPICENAME", "PARAMS", "", "Param:GAIN"})
        EXPECT_EQ(GetAttributeId(text), 0) << text;
    EXPECT_EQ(GetAttributeId(nullptr), 0);
    for (int id : {0, -1, 93, 255}) EXPECT_STREQ(GetAttributeName(id), "") << id;
}

TEST_F(PartAttrTest, StandardNamesAreStoredAsIds) {
    PartAttribute* value = SetAttribute(nullptr, &part, "value", "10k");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->nameId, kAttrValue);
    EXPECT_EQ(value->nameText, nullptr);
    EXPECT_EQ(FindAttribute(&part, kAttrValue), value);
    EXPECT_EQ(FindAttribute(&part, "VALUE"), value);
    EXPECT_STREQ(GetAttributeText(&part, "Value"), "10k");

    PartAttribute* param = SetAttribute(nullptr, &part, "Param:GAIN", "2");
    ASSERT_NE(param, nullptr);
    EXPECT_EQ(param->nameId, 0);
    EXPECT_STREQ(param->Name(), "Param:GAIN");
    EXPECT_TRUE(param->IsParameter());
    EXPECT_EQ(FindAttribute(&part, "param:gain"), param);

    // Set-or-create replaces the value of the existing attribute.
    EXPECT_EQ(SetAttribute(nullptr, &part, kAttrValue, "22k"), value);
    EXPECT_STREQ(GetAttributeText(&part, kAttrValue), "22k");
    EXPECT_EQ(SetAttribute(nullptr, &part, kAttrValue, nullptr), value);
    EXPECT_STREQ(value->Value(), "22k");
    EXPECT_EQ(part.attributes.count, 2);

    // Renaming an own name to a standard one turns it into the id.
    ASSERT_EQ(param->SetName("model"), kOk);
    EXPECT_EQ(param->nameId, kAttrModel);
    EXPECT_EQ(param->nameText, nullptr);
    EXPECT_EQ(param->SetName(93), kResultMissingParam);
    EXPECT_EQ(param->nameId, kAttrModel);

    for (const char* missing : {"", "PART", "Param:OTHER"}) {
        EXPECT_EQ(FindAttribute(&part, missing), nullptr) << missing;
        EXPECT_STREQ(GetAttributeText(&part, missing), "");
    }
    EXPECT_EQ(FindAttribute(&part, 0), nullptr);
    EXPECT_EQ(FindAttribute(nullptr, kAttrValue), nullptr);
    EXPECT_EQ(FindAttribute(&part, static_cast<const char*>(nullptr)), nullptr);
    EXPECT_EQ(SetAttribute(nullptr, &part, 0, "x"), nullptr);
    EXPECT_EQ(SetAttribute(nullptr, nullptr, kAttrValue, "x"), nullptr);
}

TEST_F(PartAttrTest, LookupsSeeTheFirstOfTwoNames) {
    Add("VALUE", "first");
    Add("VALUE", "second");
    Add("Own", "a");
    Add("OWN", "b");
    EXPECT_STREQ(GetAttributeText(&part, kAttrValue), "first");
    EXPECT_STREQ(GetAttributeText(&part, "own"), "a");
    SetAttribute(nullptr, &part, "own", "c");
    EXPECT_STREQ(static_cast<PartAttribute*>(part.attributes.last)->Value(), "b");
}

TEST_F(PartAttrTest, AttributeTextForms) {
    PartAttribute* partName = Add("PART", "R1");
    PartAttribute* param = Add("Param:GAIN", "5");
    PartAttribute* empty = Add("MODEL", "");
    struct Case {
        PartAttribute* attribute;
        int flags;
        bool withOut;
        bool strip;
        const char* text;
        bool mustFree;
    } cases[] = {
        {partName, 0x3000, true, false, "PART=R1", true},
        {partName, 0x3000, false, false, "PART=R1", false},
        {partName, 0x1000, true, false, "PART", false},
        {partName, 0x2000, true, false, "R1", false},
        {partName, 0, true, false, "", false},
        {partName, 0x2000, false, false, "R1", false},
        {partName, 0, false, false, "", false},
        {param, 0x3000, true, true, "GAIN=5", true},
        {param, 0x1000, true, true, "GAIN", false},
        {param, 0x1000, true, false, "Param:GAIN", false},
        {empty, 0x3000, true, false, "MODEL=", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        bool mustFree = !c.mustFree;
        const char* text = AttributeText(c.attribute, c.flags, c.withOut ? &mustFree : nullptr, c.strip);
        ASSERT_NE(text, nullptr);
        EXPECT_STREQ(text, c.text);
        if (c.withOut) {
            EXPECT_EQ(mustFree, c.mustFree);
        }
        // Without the out-flag the caller always owns the text.
        if (!c.withOut || mustFree) MemFree(const_cast<char*>(text));
    }
    bool mustFree = true;
    EXPECT_EQ(AttributeText(nullptr, 0x3000, &mustFree, false), nullptr);
}

TEST_F(PartAttrTest, NewAttributesStackDownwards) {
    Startup().attributeTextStep = 9;
    PartAttribute* a = NewAttribute(nullptr, &part);
    PartAttribute* b = NewAttribute(nullptr, &part);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->offsetY, 0);
    EXPECT_EQ(b->offsetY, 9);
    EXPECT_EQ(b->offsetX, 0);
    EXPECT_EQ(b->flags, 0);
    EXPECT_FALSE(b->HasName());
    EXPECT_FALSE(b->HasValue());
    b->offsetY = 40;
    EXPECT_EQ(NewAttribute(nullptr, &part)->offsetY, 49);
    EXPECT_EQ(NewAttribute(nullptr, nullptr), nullptr);
}

TEST_F(PartAttrTest, NewAttributesTakeTheCircuitsFont) {
    CCirDoc circuit;
    circuit.fonts.attributeText.color = 33;
    circuit.fonts.attributeText.height = -17;
    ItemStyleTable[kItemAttributeText].color = 44;
    PartAttribute* inCircuit = NewAttribute(&circuit, &part);
    PartAttribute* elsewhere = NewAttribute(nullptr, &part);
    PartAttribute* byDefault = NewAttributeDefaultFont(&part);
    EXPECT_EQ(inCircuit->font.color, 33);
    EXPECT_EQ(inCircuit->font.height, -17);
    EXPECT_EQ(elsewhere->font.color, 44);
    EXPECT_EQ(byDefault->font.color, 44);
}

TEST_F(PartAttrTest, OutOfMemoryKeepsOrEmptiesAsDocumented) {
    PartAttribute* a = Add("Own name", "short");
    SetAllocFailureAfter(0);
    EXPECT_EQ(a->SetName("Another own name"), kResultNoMemory);
    EXPECT_EQ(a->SetValue("a value too long to fit inline"), kResultNoMemory);
    // A new attribute that cannot take its name does not stay behind.
    SetAllocFailureAfter(1);
    EXPECT_EQ(SetAttribute(nullptr, &part, "Yet another name", "v"), nullptr);
    SetAllocFailureAfter(-1);
    EXPECT_STREQ(a->Name(), "Own name");
    EXPECT_FALSE(a->HasValue());
    EXPECT_EQ(Names(), (std::vector<std::string>{"Own name"}));
}

TEST_F(PartAttrTest, UpperCaseCopy) {
    Add("VALUE", "10k ohm");
    char* upper = GetAttributeTextUpper(&part, kAttrValue);
    EXPECT_STREQ(upper, "10K OHM");
    FreeString(&upper);
    char* none = GetAttributeTextUpper(&part, "missing");
    EXPECT_TRUE(IsSharedEmpty(none));
    FreeString(&none);
}

TEST_F(PartAttrTest, RemoveTemporaryAttributesOfComponentsOnly) {
    Add("PART", "R1");
    Add("temp1", "x", kAttrTemporary);
    Add("VALUE", "1k", kAttrShowValue);
    Add("temp2", "y", kAttrTemporary | kAttrShowName);
    part.objectKind = kObjectWire;
    RemoveTemporaryAttributes(&part);
    EXPECT_EQ(part.attributes.count, 4);
    part.objectKind = kObjectComponent;
    RemoveTemporaryAttributes(&part);
    EXPECT_EQ(Names(), (std::vector<std::string>{"PART", "VALUE"}));
    EXPECT_TRUE(DeleteAttribute(&part, kAttrPart));
    EXPECT_FALSE(DeleteAttribute(&part, kAttrPart));
    EXPECT_EQ(Names(), (std::vector<std::string>{"VALUE"}));
}

TEST_F(PartAttrTest, CopyAttributesFromAnotherPart) {
    ComponentDef definition;
    SchematicObject source;
    std::memset(static_cast<void*>(&source), 0, sizeof source);
    source.objectKind = kObjectComponent;
    source.definition = &definition;
    InitAttributeList(&source.attributes);

    Add("PART", "old");
    ASSERT_EQ(CopyAttributesFrom(&part, &source), kOk);
    EXPECT_EQ(part.attributes.count, 0);
    EXPECT_EQ(part.definition, &definition);

    PartAttribute* a = NewAttributeDefaultFont(&source);
    ASSERT_EQ(a->Assign("An own name of some length", "a value of some length"), kOk);
    a->flags = kAttrShowName | kAttrShowValue;
    a->offsetX = 3;
    a->offsetY = 4;
    a->font.color = 9;
    PartAttribute* b = NewAttributeDefaultFont(&source);
    ASSERT_EQ(b->Assign(kAttrValue, "1k"), kOk);

    ASSERT_EQ(CopyAttributesFrom(&part, &source), kOk);
    ASSERT_EQ(CopyAttributesFrom(&part, &part), kOk);  // onto itself: nothing lost
    source.attributes.DeleteAll();
    ASSERT_EQ(part.attributes.count, 2);
    auto* first = static_cast<PartAttribute*>(part.attributes.first);
    EXPECT_STREQ(first->Name(), "An own name of some length");
    EXPECT_STREQ(first->Value(), "a value of some length");
    EXPECT_EQ(first->flags, kAttrShowName | kAttrShowValue);
    EXPECT_EQ(first->offsetX, 3);
    EXPECT_EQ(first->offsetY, 4);
    EXPECT_EQ(first->font.color, 9);
    EXPECT_EQ(first->Next()->nameId, kAttrValue);
}

// ---- state keywords ----------------------------------------------------------------

TEST_F(PartAttrTest, StateValue) {
    EXPECT_EQ(GetStateValue(nullptr), 1);
    EXPECT_EQ(GetStateValue(&part), 1);
    PartAttribute* state = Add("STATE", "5");
    EXPECT_EQ(GetStateValue(&part), 1);
    EXPECT_STREQ(state->Value(), "1");
    state->SetValue("0");
    EXPECT_EQ(GetStateValue(&part), 0);
    EXPECT_STREQ(state->Value(), "0");
}

TEST_F(PartAttrTest, StateKeywordTests) {
    struct Case {
        int id;
        const char* value;  // null: no such attribute
        bool closed, up, activeHigh, ammeter, digital;
    } cases[] = {
        {kAttrState, "closed", true, false, true, false, false},
        {kAttrState, "Up", false, true, true, false, false},
        {kAttrState, "OPEN", false, false, true, false, false},
        {kAttrOnState, "low", false, false, false, false, false},
        {kAttrOnState, "HIGH", false, false, true, false, false},
        {kAttrAmpsOrVolts, "Amps", false, false, true, true, false},
        {kAttrAnalogOrDigital, "DIGITAL", false, false, true, false, true},
        {kAttrNone, nullptr, false, false, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value ? c.value : "none");
        part.attributes.DeleteAll();
        if (c.value) SetAttribute(nullptr, &part, c.id, c.value);
        EXPECT_EQ(IsSwitchClosed(&part), c.closed);
        EXPECT_EQ(IsSwitchUp(&part), c.up);
        EXPECT_EQ(IsActiveHigh(&part), c.activeHigh);
        EXPECT_EQ(IsAmmeter(&part), c.ammeter);
        EXPECT_EQ(IsDigitalMode(&part), c.digital);
    }
    EXPECT_TRUE(IsActiveHigh(nullptr));
}

TEST_F(PartAttrTest, SwitchAndThrowResistances) {
    Add("RON", "1m");
    Add("ROFF", "10MEG");
    PartAttribute* state = Add("STATE", "up");
    struct Case {
        const char* state;
        int throwIndex;
        double expected;
    } cases[] = {
        {"up", 0, 1e-3},
        {"up", 1, 10e6},
        {"DOWN", 0, 10e6},
        {"DOWN", 1, 1e-3},
    };
    for (const Case& c : cases) {
        state->SetValue(c.state);
        int error = 0;
        EXPECT_DOUBLE_EQ(GetThrowResistance(&part, &error, c.throwIndex), c.expected) << c.state << c.throwIndex;
        EXPECT_EQ(error, 0);
    }
    int error = 0;
    state->SetValue("CLOSED");
    EXPECT_DOUBLE_EQ(GetSwitchResistance(&part, &error), 1e-3);
    state->SetValue("OPEN");
    EXPECT_DOUBLE_EQ(GetSwitchResistance(&part, &error), 10e6);
    // A flag already set short-cuts; a value that is no number sets it.
    error = 1;
    EXPECT_EQ(GetSwitchResistance(&part, &error), 0.0);
    error = 0;
    SetAttribute(nullptr, &part, kAttrRoff, "{not a number}");
    EXPECT_EQ(GetSwitchResistance(&part, &error), 0.0);
    EXPECT_EQ(error, 1);
    // The compiler's evaluator takes over once installed.
    struct IdAsValue final : AttributeEvaluator {
        double EvaluateAttributeNumber(SchematicObject*, int id, int*) override { return id * 1.0; }
    } byId;
    {
        ScopedPort<AttributeEvaluator> installed(InstallAttributeEvaluator, &byId);
        error = 0;
        EXPECT_EQ(GetSwitchResistance(&part, &error), static_cast<double>(kAttrRoff));
    }
    // Taken away again, the plain reading is back.
    error = 0;
    EXPECT_EQ(GetSwitchResistance(&part, &error), 0.0);
    EXPECT_EQ(error, 1);
}

}  // namespace
