// The header and footer page of the text printing sheet.
#include "text/textprintdlg.h"

#include <gtest/gtest.h>

#include "platform/dialog.h"
#include "text/textprint.h"

namespace {

TEST(TextPrintSheetTest, LineBreaksBecomeStoredPairsAndBack) {
    struct Case {
        const char* edited;
        const char* stored;
    } cases[] = {
        {"a\r\nb", "a\\nb"},
        {"a\nb", "a\\nb"},
        {"a\rb", "a\\nb"},
        {"a\r\n\r\nb", "a\\n\\nb"},
        {"$|Page $Page", "$|Page $Page"},
    };
    for (const Case& c : cases) EXPECT_EQ(HeaderTextFromEdit(c.edited), c.stored) << c.edited;
    EXPECT_EQ(HeaderTextForEdit("$<$user\\n$company"), "$<$user\r\n$company");
    EXPECT_EQ(HeaderTextForEdit("a\\"), "a\\");  // a lone backslash stays
}

TEST(TextPrintSheetTest, OkStoresTheEditedTextsCancelKeepsThem) {
    TextPrintHeaders& texts = TextPrintHeaderTexts();
    const TextPrintHeaders saved = texts;
    texts.header = "$|Page $Page";
    texts.footer = "$<$user\\n$company";
    std::string shownFooter;
    auto run = [&](int answer, const char* footer) {
        platform::ScopedModalAnswerer answerer([&](platform::ModalRequest& r) {
            auto* sheet = dynamic_cast<CTextPrintSheet*>(&r);
            if (!sheet) return platform::dlgid::Failed;
            CTextHeaderPage& page = sheet->HeaderPage();
            shownFooter = page.GetText(textprintdlg::FooterEdit);
            page.UserSetText(textprintdlg::FooterEdit, footer);
            return answer;
        });
        CTextPrintSheet sheet(nullptr);
        return sheet.DoModal();
    };
    EXPECT_EQ(run(platform::dlgid::Ok, "$|$page/$maxpage\n$>x"), platform::dlgid::Ok);
    EXPECT_NE(shownFooter.find('\n'), std::string::npos);  // shown on two lines
    EXPECT_EQ(shownFooter.find("\\n"), std::string::npos);
    EXPECT_EQ(texts.footer, "$|$page/$maxpage\\n$>x");
    EXPECT_EQ(texts.header, "$|Page $Page");
    run(platform::dlgid::Cancel, "lost");
    EXPECT_EQ(texts.footer, "$|$page/$maxpage\\n$>x");
    texts = saved;
}

}  // namespace
