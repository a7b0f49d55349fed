// Every code the engine returns for its caller to show has its text: a code
// without one shows an empty message box.
#include <gtest/gtest.h>

#include <string>

#include "core/messages.h"

TEST(EngineMessagesTest, ReturnedCodesHaveTheirTexts) {
    for (int id : {13542, 14190, 15051, 10836, 15002, 13545}) {
        const char* text = GetMessageText(id);
        ASSERT_NE(text, nullptr) << id;
        EXPECT_EQ(std::string(text).rfind("%E", 0), 0u) << id;
    }
}
