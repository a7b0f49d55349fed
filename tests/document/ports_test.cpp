// Installing ports: the null object answers until an implementation is
// installed, scoped installs nest and each puts back what it replaced.
#include "core/port.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "document/cirio.h"
#include "document/pages.h"

namespace {

struct pt_Prompt final : PasswordPromptPort {
    explicit pt_Prompt(const char* answer) : answer_(answer) {}
    bool AskPassword(char* out, size_t size) override {
        snprintf(out, size, "%s", answer_);
        return true;
    }
    const char* answer_;
};

std::string pt_Ask() {
    char out[16] = "unchanged";
    if (!PasswordPrompt().AskPassword(out, sizeof out)) return "cancelled";
    return out;
}

TEST(Ports, ScopedInstallsNestAndPutBackWhatTheyReplaced) {
    EXPECT_EQ(pt_Ask(), "cancelled");  // the null object: no prompt, nothing asked
    pt_Prompt outer("outer");
    pt_Prompt inner("inner");
    {
        ScopedPort<PasswordPromptPort> a(InstallPasswordPrompt, &outer);
        EXPECT_EQ(pt_Ask(), "outer");
        {
            ScopedPort<PasswordPromptPort> b(InstallPasswordPrompt, &inner);
            EXPECT_EQ(pt_Ask(), "inner");
        }
        EXPECT_EQ(pt_Ask(), "outer");
    }
    EXPECT_EQ(pt_Ask(), "cancelled");
    // Install answers the one it replaced; nullptr brings the null object back.
    EXPECT_EQ(InstallPasswordPrompt(&outer), nullptr);
    EXPECT_EQ(InstallPasswordPrompt(nullptr), &outer);
    EXPECT_EQ(pt_Ask(), "cancelled");
}

TEST(Ports, WithoutATextEditorPagesGetNoEditor) {
    TextEditorPort& editor = TextEditor();
    EXPECT_EQ(editor.Create(), nullptr);
    EXPECT_EQ(&TextEditor(), &editor);  // one null object for the whole run
    EXPECT_STREQ(editor.InfoText(), "");
}

}  // namespace
