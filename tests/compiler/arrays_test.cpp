// .ARRAY statements: a named list of values whose elements compile once the
// defines of their scope are known; the name must be free in its scope and
// a name a define could have.
#include <gtest/gtest.h>

#include "compiler/arrays.h"
#include "compiler/session.h"
#include "core/result.h"
#include "expr/evaluate.h"
#include "tests/compiler/setup_fixture.h"

namespace {

class ArrayTest : public SetupFixture {
protected:
    int Parse(const char* text, int scope = 1) {
        shown_.clear();
        const StatementSource source{kSourceTextLine, scope, 0, 0};
        return ParseArrayStatement(GetDefineTable(doc_.get()), text, source);
    }
    // The values of the array's elements, compiled in its scope.
    std::vector<double> Values(const char* name, int scope = 1) {
        std::vector<double> values;
        EXPECT_EQ(CompileScopeArrays(GetDefineTable(doc_.get()), scope), 0) << LastMessageText();
        const int index = FindUserArrayIndex(doc_.get(), name, scope);
        if (index < 0) return values;
        for (const auto& element :
             GetCompileSession(doc_.get())->arrays.entries[static_cast<size_t>(index)]->elements) {
            ComplexNumber value{};
            EXPECT_EQ(EvaluateExpression(element.get(), &value), 0);
            values.push_back(value.re);
        }
        return values;
    }
};

TEST_F(ArrayTest, ElementsAreFlattenedAndCompiledWithTheScopesDefines) {
    Define(".DEFINE R0 1K");
    ASSERT_EQ(Parse(".ARRAY RV 1K,2K,3K"), 0);
    ASSERT_EQ(Parse(".ARRAY NESTED (1K,2K),3K"), 0);
    ASSERT_EQ(Parse(".ARRAY SCALED {R0},{2*R0},(R0+1)"), 0);
    ASSERT_EQ(Parse(".ARRAY PI 1,2"), 0) << "PI is no reserved name here";
    EXPECT_EQ(Values("RV"), (std::vector<double>{1e3, 2e3, 3e3}));
    EXPECT_EQ(Values("NESTED"), (std::vector<double>{1e3, 2e3, 3e3}));
    EXPECT_EQ(Values("SCALED"), (std::vector<double>{1e3, 2e3, 1001}));
    EXPECT_EQ(FindUserArrayIndex(doc_.get(), "NONE", 1), -1);
}

TEST_F(ArrayTest, BadStatementsAreRefusedNamingTheirFault) {
    struct Case {
        const char* text;
        int message;
    };
    const Case cases[] = {
        {".ARRAY RV", 10934},
        {".ARRAY", 10935},
        {".ARRAY SIN 1", 10889},  // functions are reserved too
        {".ARRAY R0 5", 10936},   // a define of the scope
    };
    for (const Case& c : cases) {
        Reset();
        Define(".DEFINE R0 1K");
        EXPECT_EQ(Parse(c.text), kResultShown) << c.text;
        EXPECT_EQ(shown_, std::vector<int>{c.message}) << c.text;
    }
    Reset();
    ASSERT_EQ(EnsureScopes(doc_.get(), 2), 0);
    ASSERT_EQ(Parse(".ARRAY RV 1"), 0);
    EXPECT_EQ(Parse(".ARRAY RV 5"), kResultShown);
    EXPECT_EQ(shown_, std::vector<int>{10936});
    EXPECT_EQ(Parse(".ARRAY RV 5", 2), 0) << "another scope may use the name";
    EXPECT_EQ(Parse(".DEFINE X 1"), 0) << "not an .ARRAY statement";
}

}  // namespace
