// The path settings written into a circuit as ".PATH" statements: grid texts
// take the new statement in place, text pages lose their old statements and
// get the new one at the end, and the whole rewrite is one undo step.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/memory.h"
#include "document/cirdoc.h"
#include "document/docopen.h"
#include "document/dotpathwriter.h"
#include "document/pages.h"
#include "platform/app.h"
#include "platform/frame.h"
#include "shell/document.h"

namespace {

std::string dp_test_PageText(CCTDoc* doc, int index) {
    PageRecord* page = doc->Page(index);
    if (!page) return "";
    if (page->editor) {
        const char* text = TextEditor().GetTextBuffer(page->editor);
        const long length = TextEditor().GetTextLength(page->editor);
        return text && length > 0 ? std::string(text, static_cast<size_t>(length)) : std::string();
    }
    return page->storedText ? page->storedText : "";
}

void dp_test_SetPageText(CCTDoc* doc, int index, const char* text) {
    PageRecord* page = doc->Page(index);
    ASSERT_NE(page, nullptr);
    if (page->editor)
        TextEditor().SetText(page->editor, text);
    else
        ASSERT_NE(SetString(&page->storedText, text), nullptr);
}

std::vector<std::string> dp_test_GridTexts(CCTDoc* doc) {
    std::vector<std::string> texts;
    for (PoolItem* p = doc->gridTexts.first; p; p = p->next)
        texts.push_back(static_cast<GridTextObject*>(p)->text ? static_cast<GridTextObject*>(p)->text : "");
    return texts;
}

class DotPathWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host_.Create("Tarnwick", platform::Rect{0, 0, 800, 600}));
        platform::Application::Instance()->SetMainWindow(&host_);
    }
    void TearDown() override {
        CloseAllDocuments();
        platform::Application::Instance()->PumpEvents();
        host_.Destroy();
        platform::Application::Instance()->SetMainWindow(nullptr);
    }
    platform::MainFrame host_;
    const std::string statements_[3] = {".PATH DATA /new/data", ".PATH LIBRARY /new/lib", ".PATH PICTURE /new/pic"};
};

TEST_F(DotPathWriterTest, GridTextsTakeTheStatementAndTheRestGoesInOneUndoStep) {
    int result = 0;
    auto* circuit = dynamic_cast<CCirDoc*>(NewDocumentOfKind(kDocCircuit, &result));
    ASSERT_NE(circuit, nullptr);
    for (const char* text : {".PATH DATA /old1", "VOUT", ".path data /old2", ".PATH LIBRARY /keep"}) {
        GridTextObject* grid = circuit->NewGridText();
        ASSERT_NE(SetString(&grid->text, text), nullptr);
    }
    const int textPage = circuit->GetTextPageIndex();
    ASSERT_GE(textPage, 0);
    dp_test_SetPageText(circuit, textPage, ".PATH DATA /old3\r\n+;/old4\r\nR1 1 0 1k");
    const bool checked[3] = {true, false, false};
    EXPECT_EQ(WriteDotPathStatements(circuit, checked, statements_), 0);
    EXPECT_EQ(dp_test_GridTexts(circuit),
              (std::vector<std::string>{".PATH DATA /new/data", "VOUT", ".PATH LIBRARY /keep"}));
    // The grid text holds the data statement: the page only loses its own.
    EXPECT_EQ(dp_test_PageText(circuit, textPage), "R1 1 0 1k");
    EXPECT_TRUE(circuit->IsDirty());

    UndoRedo(circuit, 1);
    EXPECT_EQ(dp_test_GridTexts(circuit),
              (std::vector<std::string>{".PATH DATA /old1", "VOUT", ".path data /old2", ".PATH LIBRARY /keep"}));
    EXPECT_EQ(dp_test_PageText(circuit, textPage), ".PATH DATA /old3\r\n+;/old4\r\nR1 1 0 1k");
}

TEST_F(DotPathWriterTest, TextPagesGetTheNewStatementsAtTheirEnd) {
    int result = 0;
    auto* circuit = dynamic_cast<CCirDoc*>(NewDocumentOfKind(kDocCircuit, &result));
    ASSERT_NE(circuit, nullptr);
    const int textPage = circuit->GetTextPageIndex();
    dp_test_SetPageText(circuit, textPage, "* deck\r\n.PATH LIB /a\r\n+;/b\r\n.PATH PIC /p\r\nR1 1 0 1k");
    const bool checked[3] = {true, true, false};
    EXPECT_EQ(WriteDotPathStatements(circuit, checked, statements_), 0);
    EXPECT_EQ(dp_test_PageText(circuit, textPage),
              "* deck\r\n.PATH PIC /p\r\nR1 1 0 1k\r\n.PATH DATA /new/data\r\n.PATH LIBRARY /new/lib\r\n");
}

}  // namespace
