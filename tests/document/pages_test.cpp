// Pages of a circuit: inserting, deleting, moving, renaming and finding them.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/memory.h"
#include "core/result.h"
#include "document/cirdoc.h"
#include "document/docmessages.h"
#include "platform/dialog.h"
#include "shell/app.h"
#include "shell/report.h"

namespace {

class PagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterDocumentMessages();
        answerer_ = std::make_unique<platform::ScopedModalAnswerer>([this](platform::ModalRequest& r) -> int {
            auto* box = dynamic_cast<CMessageBoxDlg*>(&r);
            if (!box) return platform::dlgid::Failed;
            texts.push_back(box->GetText(kMsgBoxText));
            return answer;
        });
    }
    void TearDown() override {
        answerer_.reset();
        RunState().activeAnalysis = -1;
    }

    // One object on each of the first `n` pages, x = its page at the start.
    std::vector<SchematicObject*> ObjectPerPage(CCirDoc& doc, int n) {
        std::vector<SchematicObject*> made;
        for (int p = 0; p < n; ++p) {
            SchematicObject* o = doc.NewSchematicObject();
            o->page = p;
            o->x1 = p;
            made.push_back(o);
        }
        return made;
    }
    static std::vector<std::string> Names(const CCTDoc& doc) {
        std::vector<std::string> names;
        for (int i = 0; i < doc.PageCount(); ++i) names.push_back(doc.GetPageName(i));
        return names;
    }

    int answer = platform::dlgid::Yes;
    std::vector<std::string> texts;
    std::unique_ptr<platform::ScopedModalAnswerer> answerer_;
};

TEST_F(PagesTest, MovingAPageRemapsEveryPageIndex) {
    struct Case {
        int source, target;
        std::vector<std::string> order;
        std::vector<int> pageOfObjectFrom;  // new page of the object that was on page i
    };
    const Case cases[] = {
        {0, 3, {"Text", "Models", "Main", "Info"}, {2, 0, 1, 3}},  // tab 0 dropped behind page 2
        {2, 0, {"Models", "Main", "Text", "Info"}, {1, 2, 0, 3}},
        {3, 1, {"Main", "Info", "Text", "Models"}, {0, 2, 3, 1}},
        {1, 1, {"Main", "Text", "Models", "Info"}, {0, 1, 2, 3}},  // dropped on itself
        {1, 2, {"Main", "Text", "Models", "Info"}, {0, 1, 2, 3}},  // dropped just behind itself
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source * 10 + c.target);
        CCirDoc doc;
        std::vector<SchematicObject*> objects = ObjectPerPage(doc, 4);
        GridTextObject* g = doc.NewGridText();
        g->page = c.source;
        doc.paneCurrentPage[1] = c.source;
        doc.MovePage(c.source, c.target);
        EXPECT_EQ(Names(doc), c.order);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(objects[i]->page, c.pageOfObjectFrom[i]) << "object of page " << i;
        EXPECT_EQ(g->page, c.pageOfObjectFrom[c.source]);
        EXPECT_EQ(doc.paneCurrentPage[1], c.pageOfObjectFrom[c.source]);
    }
}

TEST_F(PagesTest, InsertingShiftsLaterPagesAndNamesNewPages) {
    CCirDoc doc;
    std::vector<SchematicObject*> objects = ObjectPerPage(doc, 2);
    EXPECT_EQ(doc.InsertPage(1, kPageSchematic, nullptr, 0), 1);
    EXPECT_EQ(objects[0]->page, 0);
    EXPECT_EQ(objects[1]->page, 2);
    EXPECT_STREQ(doc.GetPageName(1), "Page 5");
    EXPECT_EQ(doc.Page(1)->print, 1);
    EXPECT_EQ(doc.GetActiveSchematicPage(), 1);

    // A free number is searched from the new page count up.
    CCirDoc other;
    ASSERT_EQ(other.SetPageName(3, "Text 5"), 0);
    EXPECT_EQ(other.InsertPage(4, kPageText, nullptr, 0), 4);
    EXPECT_STREQ(other.GetPageName(4), "Text 6");
    EXPECT_EQ(other.Page(4)->print, 0);
    EXPECT_EQ(other.InsertPage(0, kPageInfo, nullptr, 0), 0);
    EXPECT_STREQ(other.GetPageName(0), "Info");
    // Given names are kept to 40 characters.
    EXPECT_EQ(other.InsertPage(0, kPageSchematic, std::string(50, 'x').c_str(), 0), 0);
    EXPECT_EQ(std::string(other.GetPageName(0)), std::string(40, 'x'));

    // Not while an analysis runs.
    RunState().activeAnalysis = 0;
    const int before = other.PageCount();
    EXPECT_EQ(other.InsertPage(0, kPageSchematic, nullptr, 0), -1);
    EXPECT_EQ(other.PageCount(), before);
}

TEST_F(PagesTest, RenamingChecksTheNameAsItWillBeStored) {
    struct Case {
        const char* name;
        std::string newName;
        int result;
        std::string stored;  // page 0's name afterwards
    };
    const std::string long45 = std::string(40, 'a') + "bcdef";
    const Case cases[] = {
        {"case change of its own name", "main", 0, "main"},
        {"another page's name", "models", kMsgPageNameTaken, "Main"},
        {"long unique name is cut", long45, 0, std::string(40, 'a')},
        // Cut to 40 characters it equals page 1's name: refused, not stored twice.
        {"name equal to another once cut", std::string(40, 'T') + "zzzzz", kMsgPageNameTaken, "Main"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CCirDoc doc;
        ASSERT_EQ(doc.SetPageName(1, std::string(40, 'T').c_str()), 0);
        doc.SetDirty(0);
        texts.clear();
        EXPECT_EQ(doc.SetPageName(0, c.newName.c_str()), c.result);
        EXPECT_EQ(std::string(doc.GetPageName(0)), c.stored);
        EXPECT_EQ(texts.size(), c.result ? 1u : 0u);
        EXPECT_EQ(doc.IsDirty(), c.result ? 0 : 1);
    }
}

TEST_F(PagesTest, DeletingAsksForOccupiedPagesAndKeepsOne) {
    CCirDoc doc;
    doc.InsertPage(1, kPageSchematic, "Second", 0);  // Main, Second, Text, Models, Info
    std::vector<SchematicObject*> objects = ObjectPerPage(doc, 1);
    SchematicObject* later = doc.NewSchematicObject();
    later->page = 3;
    doc.paneCurrentPage[2] = 4;

    // An empty page goes without a question; later pages move down.
    EXPECT_EQ(doc.DeletePage(1), 1);
    EXPECT_TRUE(texts.empty());
    EXPECT_EQ(later->page, 2);
    EXPECT_EQ(doc.paneCurrentPage[2], 3);
    EXPECT_EQ(Names(doc), (std::vector<std::string>{"Main", "Text", "Models", "Info"}));

    // An occupied page asks; No keeps it, Yes deletes it with its objects.
    answer = platform::dlgid::No;
    EXPECT_EQ(doc.DeletePage(0), 0);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("Page 'Main' is not empty."), std::string::npos);
    EXPECT_EQ(doc.objects.count, 2);
    answer = platform::dlgid::Yes;
    EXPECT_EQ(doc.DeletePage(0), 1);
    EXPECT_EQ(doc.objects.count, 1);
    EXPECT_EQ(later->page, 1);
    doc.AfterPagesRemoved();

    // The last page stays.
    while (doc.PageCount() > 1) ASSERT_EQ(doc.DeletePage(0), 1);
    texts.clear();
    EXPECT_EQ(doc.DeletePage(0), 0);
    EXPECT_EQ(doc.PageCount(), 1);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("Must keep at least one Page."), std::string::npos);
}

TEST_F(PagesTest, LookupsAndTableSize) {
    CCirDoc doc;
    EXPECT_EQ(doc.FindPageByName("MODELS"), 2);
    EXPECT_EQ(doc.FindTextPageByName("models"), -1);
    EXPECT_EQ(doc.FindTextPageByName("Models"), 2);
    EXPECT_EQ(doc.FindPageByName("nothing"), -1);
    EXPECT_EQ(doc.GetFirstInfoPage(), 3);
    EXPECT_EQ(doc.GetSubcktPageIndex(), 1);
    ASSERT_EQ(doc.SetPageName(2, "Other"), 0);
    EXPECT_EQ(doc.GetModelsPageIndex(), 1);  // falls back to "Text"
    ASSERT_EQ(doc.SetPageName(1, "Sub"), 0);
    EXPECT_EQ(doc.GetModelsPageIndex(), 1);  // then to the first text page

    EXPECT_EQ(doc.SetPageCount(-1), 0);
    EXPECT_EQ(doc.PageCount(), 4);
    EXPECT_EQ(doc.SetPageCount(6), 0);
    EXPECT_STREQ(doc.GetPageName(5), "");
    EXPECT_EQ(doc.Page(5)->print, 1);
    EXPECT_EQ(doc.Page(5)->scale[0], 1.0);
    EXPECT_EQ(doc.Page(6), nullptr);
    EXPECT_EQ(doc.SetPageCount(2), 0);
    EXPECT_EQ(doc.PageCount(), 2);
}

TEST_F(PagesTest, UndoCopiesOfTheTableKeepTextsWithoutEditors) {
    CCirDoc doc;
    SetString(&doc.Page(1)->storedText, "R1 1 0 1k");
    PageRecord* copy = static_cast<PageRecord*>(MemAllocZero(sizeof(PageRecord) * 4));
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(CopyPageRecord(&copy[i], *doc.Page(i)));
    EXPECT_STREQ(copy[1].copiedText, "R1 1 0 1k");
    EXPECT_STREQ(copy[2].name, "Models");
    int32_t count = 4;
    ASSERT_EQ(doc.SetPageName(2, "Renamed"), 0);
    doc.SwapPageTable(&copy, &count);
    EXPECT_STREQ(doc.GetPageName(2), "Models");
    EXPECT_STREQ(doc.Page(1)->storedText, "R1 1 0 1k");
    for (int i = 0; i < count; ++i) FreePageRecord(&copy[i]);
    MemFree(copy);
}

}  // namespace
