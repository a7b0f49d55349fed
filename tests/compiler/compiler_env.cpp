// The one application object of the compiler tests (documents need it), made
// when the tests start running, and the start-up the compiler relies on: the
// expression symbol indexes, the string table rows and the compiler's services.
#include <gtest/gtest.h>

#include <memory>

#include "compiler/messages.h"
#include "compiler/support.h"
#include "expr/symbols.h"
#include "platform/app.h"

namespace {

class compenv_Environment : public ::testing::Environment {
public:
    void SetUp() override {
        app_ = std::make_unique<platform::Application>();
        BuildSymbolIndexes();
        RegisterCompilerMessages();
        InstallCompilerServices();
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<platform::Application> app_;
};

[[maybe_unused]] ::testing::Environment* const compenv_environment =
    ::testing::AddGlobalTestEnvironment(new compenv_Environment);

}  // namespace

// The system font library keeps a few blocks for the life of the process by
// design; they are not our leaks.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}
