// Macro parameters: a .MACRO statement maps a name to a macro file with
// values by position, the macro declares its parameters with .PARAMETERS, and
// the binding puts one value per declared parameter into the instance scope.
#include <gtest/gtest.h>

#include "compiler/macros.h"
#include "core/result.h"
#include "tests/compiler/setup_fixture.h"

namespace {

class MacroParametersTest : public SetupFixture {
protected:
    void Statement(const char* text) {
        GridTextObject* record = doc_->NewGridText();
        SetString(&record->text, text);
        record->scope = 1;
    }
    // Declares the list, binds with the .MACRO statement of `name` (or the
    // part's Param: attributes when there is none): the result.
    int Bind(const char* parameters, const char* name) {
        shown_.clear();
        part_ = AddPart(kTypeMacro, "X1", nullptr, {1, 2});
        std::vector<MacroParameter> declared;
        if (int rc = ParseParametersStatement(doc_.get(), parameters, 2, &declared)) return rc;
        std::string rest, file;
        std::vector<std::string> supplied;
        bool hasArguments = false;
        const bool statement = FindMacroStatement(doc_.get(), name, 1, &rest);
        if (statement) {
            if (int rc = SplitMacroReference(doc_.get(), rest.c_str(), part_, &file, &supplied, &hasArguments))
                return rc;
            EXPECT_EQ(file, "AMP");
        }
        EXPECT_EQ(EnsureScopes(doc_.get(), 2), 0);
        return BindMacroParameters(doc_.get(), part_, 2, declared, hasArguments ? &supplied : nullptr, parameters,
                                   rest);
    }
    std::string Value(const char* name) {
        DefineEntry* entry = GetDefineTable(doc_.get())->FindEntry(name, 2);
        return entry && entry->value ? entry->value : "<none>";
    }
    SchematicObject* part_ = nullptr;
};

TEST_F(MacroParametersTest, SuppliedValuesBindByPositionAndDefaultsFillTheRest) {
    Statement(".MACRO AMP1 AMP(1k,2)");
    ASSERT_EQ(Bind(".PARAMETERS(R, G=1, C=10p)", "AMP1"), 0) << LastMessageText();
    EXPECT_EQ(Value("R"), "1K");
    EXPECT_EQ(Value("G"), "2");
    EXPECT_EQ(Value("C"), "10P");
    EXPECT_EQ(GetDefineTable(doc_.get())->FindEntry("R", 2)->kind, 23);
}

TEST_F(MacroParametersTest, ParamAttributesBindWhenNoStatementSuppliesValues) {
    Define(".DEFINE RBASE 3K");
    ASSERT_EQ(Bind(".PARAMETERS(R=1, G=1)", "NONE"), 0);  // no Param: attributes: the defaults
    EXPECT_EQ(Value("R"), "1");
    Reset();
    Define(".DEFINE RBASE 3K");
    part_ = nullptr;
    shown_.clear();
    SchematicObject* part = AddPart(kTypeMacro, "X1", nullptr, {1, 2});
    SetAttribute(doc_.get(), part, "Param:R", "RBASE");
    SetAttribute(doc_.get(), part, "Param:G", "");
    std::vector<MacroParameter> declared;
    ASSERT_EQ(ParseParametersStatement(doc_.get(), ".PARAMETERS(R, G=5)", 2, &declared), 0);
    ASSERT_EQ(EnsureScopes(doc_.get(), 2), 0);
    ASSERT_EQ(BindMacroParameters(doc_.get(), part, 2, declared, nullptr, "", ""), 0) << LastMessageText();
    EXPECT_EQ(Value("R"), "3K") << "substituted with the caller's defines";
    EXPECT_EQ(Value("G"), "5") << "an empty attribute falls back to the default";
}

TEST_F(MacroParametersTest, MismatchedOrMalformedListsAreRefused) {
    struct Case {
        const char* macro;
        const char* parameters;
        int message;
    };
    const Case cases[] = {
        {".MACRO AMP1 AMP(1k,2,3,4)", ".PARAMETERS(R, G=1, C=10p)", 10873},
        {".MACRO AMP1 AMP(1k)", ".PARAMETERS(R, G)", 10871},
        {".MACRO AMP1 AMP(1k)", ".PARAMETERS R", 10872},
        {".MACRO AMP1 AMP(1k)", ".PARAMETERS(R, G", 10872},
        {".MACRO AMP1 AMP(1k,(2)", ".PARAMETERS(R)", 10874},
    };
    for (const Case& c : cases) {
        Reset();
        Statement(c.macro);
        EXPECT_EQ(Bind(c.parameters, "AMP1"), kResultShown) << c.macro << " " << c.parameters;
        EXPECT_EQ(shown_, std::vector<int>{c.message}) << c.macro << " " << c.parameters;
    }
}

}  // namespace
