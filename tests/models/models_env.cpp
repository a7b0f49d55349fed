// The start-up the model layer relies on, made once when the model tests start
// running: the expression symbol indexes, the string table rows and the fix-ups
// of the parameter tables.
#include <gtest/gtest.h>

#include "expr/messages.h"
#include "expr/symbols.h"
#include "models/messages.h"
#include "models/modeltypes.h"

namespace {

class modelsenv_Environment : public ::testing::Environment {
public:
    void SetUp() override {
        RegisterExprMessages();
        BuildSymbolIndexes();
        RegisterModelMessages();
        InitModelParamTables();
    }
};

[[maybe_unused]] ::testing::Environment* const modelsenv_environment =
    ::testing::AddGlobalTestEnvironment(new modelsenv_Environment);

}  // namespace
