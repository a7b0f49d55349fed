#include "core/recentlist.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/sectionfile.h"
#include "tests/support/tempdir.h"

namespace {

std::vector<std::string> rlt_Texts(const RecentList& list) {
    std::vector<std::string> texts;
    for (int i = 0; i < list.Count(); i++) texts.push_back(list.Text(i) ? list.Text(i) : "");
    return texts;
}

void rlt_Fill(RecentList& list, const std::vector<std::string>& texts) {
    // Added oldest first, so that the list reads in the given order.
    for (auto it = texts.rbegin(); it != texts.rend(); ++it) list.Add(it->c_str());
}

}  // namespace

class RecentListFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.Valid());
        path_ = dir_.Path() + "/recent.dat";
    }
    std::string Write(RecentList& list, bool prefixed) {
        SectionFile file;
        EXPECT_EQ(file.CreateText(path_.c_str()), 0);
        EXPECT_EQ(list.Serialize(file, prefixed), 0);
        EXPECT_EQ(file.Close(), 0);
        std::string text;
        FILE* f = fopen(path_.c_str(), "rb");
        char buffer[1024];
        size_t n;
        while (f && (n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
        if (f) fclose(f);
        return text;
    }
    void Read(RecentList& list, bool prefixed) {
        SectionFile file;
        ASSERT_EQ(file.OpenText(path_.c_str()), 0);
        EXPECT_EQ(list.Serialize(file, prefixed), 0);
        file.Close();
    }
    twtest::TempDir dir_{"tw_recent"};
    std::string path_;
};

TEST(RecentListTest, AddMovesToFrontAndKeepsTheCount) {
    struct Case {
        std::vector<std::string> before;
        const char* added;
        std::vector<std::string> after;
    };
    const std::vector<Case> cases = {
        {{"a", "B", "c"}, "b", {"b", "a", "c"}},
        {{"a", "b", "c"}, "d", {"d", "a", "b"}},
        {{"a", "b", "c"}, "A", {"A", "b", "c"}},
        {{"a", "b", "c"}, "c", {"c", "a", "b"}},
    };
    for (const Case& c : cases) {
        RecentList list;
        list.Init(3, "FILE_");
        rlt_Fill(list, c.before);
        ASSERT_EQ(rlt_Texts(list), c.before);
        list.Add(c.added);
        EXPECT_EQ(rlt_Texts(list), c.after) << "adding " << c.added;
    }

    // A list of no slots shows nothing, whatever is added.
    RecentList empty;
    empty.Init(0, "FILE_");
    empty.Add("x");
    EXPECT_EQ(empty.Count(), 0);

    // Adding a list's own entry moves it safely.
    RecentList self;
    self.Init(3, "FILE_");
    rlt_Fill(self, {"a", "b", "c"});
    self.Add(self.Text(2));
    EXPECT_EQ(rlt_Texts(self), (std::vector<std::string>{"c", "a", "b"}));
}

TEST(RecentListTest, ResizeAndReadKey) {
    RecentList list;
    list.Init(5, "FILE_");
    rlt_Fill(list, {"a", "b", "c", "d", "e"});
    list.Resize(0);
    list.Resize(-3);
    EXPECT_EQ(list.Count(), 5);
    list.Resize(2);
    EXPECT_EQ(rlt_Texts(list), (std::vector<std::string>{"a", "b"}));
    list.Resize(40);
    EXPECT_EQ(list.Count(), RecentList::kMaxSlots);
    EXPECT_EQ(list.Text(2), nullptr);

    list.Init(5, "FILE_");
    struct Case {
        const char* key;
        int accepted;
        int countAfter;
    };
    const Case cases[] = {
        {"FILE_25", 1, 5}, {"FILE_0", 1, 5}, {"COMPONENT_1", 0, 5},
        {"file_7", 1, 7},  {"FILE_3", 1, 7}, {"FILE_20", 1, 20},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(list.ReadKey(c.key, c.key), c.accepted) << c.key;
        EXPECT_EQ(list.Count(), c.countAfter) << c.key;
    }
    EXPECT_STREQ(list.Text(6), "file_7");
    EXPECT_STREQ(list.Text(2), "FILE_3");
    EXPECT_STREQ(list.Text(19), "FILE_20");
}

TEST_F(RecentListFileTest, EmptySlotsAreLeftOutAndNumbersKept) {
    RecentList list;
    list.Init(3, "FILE_");
    list.ReadKey("FILE_1", "/a.cir");
    list.ReadKey("FILE_3", "/c.cir");
    EXPECT_EQ(Write(list, false), "Max=3\r\nFILE_1=/a.cir\r\nFILE_3=/c.cir\r\n");

    RecentList back;
    back.Init(10, "FILE_");
    back.Add("/stale.cir");
    Read(back, false);
    EXPECT_EQ(back.Count(), 3);
    EXPECT_EQ(rlt_Texts(back), (std::vector<std::string>{"/a.cir", "", "/c.cir"}));
}

TEST_F(RecentListFileTest, SecondFieldsRoundTrip) {
    RecentList values;
    values.Init(2, "EXPR_", "KIND_", false);
    values.Add("v(1)", 'A');
    values.Add("i(r1)", 0);
    EXPECT_EQ(Write(values, true), "EXPR_Max=2\r\nEXPR_1=i(r1)\r\nEXPR_2=v(1)\r\nKIND_2=A\r\n");
    RecentList valuesBack;
    valuesBack.Init(1, "EXPR_", "KIND_", false);
    Read(valuesBack, true);
    EXPECT_EQ(rlt_Texts(valuesBack), (std::vector<std::string>{"i(r1)", "v(1)"}));
    EXPECT_EQ(valuesBack.Value(0), 0);
    EXPECT_EQ(valuesBack.Value(1), 'A');

    RecentList texts;
    texts.Init(2, "FIND_", "IN_", true);
    texts.Add("R1", 0, "*.cir");
    Write(texts, false);
    RecentList textsBack;
    textsBack.Init(2, "FIND_", "IN_", true);
    Read(textsBack, false);
    EXPECT_STREQ(textsBack.Text(0), "R1");
    EXPECT_STREQ(textsBack.SecondText(0), "*.cir");
}
