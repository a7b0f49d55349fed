// The one application object of the document tests. It is made when the tests
// start running (Environment::SetUp), never during static initialisation, so
// listing the tests at build time creates no toolkit object. Without a display
// the application runs off-screen by itself.
#include <gtest/gtest.h>

#include <memory>

#include "platform/app.h"

namespace {

class docenv_DocumentEnvironment : public ::testing::Environment {
public:
    void SetUp() override { app_ = std::make_unique<platform::Application>(); }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<platform::Application> app_;
};

[[maybe_unused]] ::testing::Environment* const docenv_environment =
    ::testing::AddGlobalTestEnvironment(new docenv_DocumentEnvironment);

}  // namespace
