#include "tests/support/environment.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/app.h"

namespace twtest {
namespace {

class StartupEnvironment : public ::testing::Environment {
public:
    StartupEnvironment(WithApplication application, std::vector<std::function<void()>> steps)
        : application_(application), steps_(std::move(steps)) {}

    void SetUp() override {
        // Without a display the application runs off-screen by itself.
        if (application_ == WithApplication::Yes) app_ = std::make_unique<platform::Application>();
        for (auto& step : steps_) step();
    }
    void TearDown() override { app_.reset(); }

private:
    WithApplication application_;
    std::vector<std::function<void()>> steps_;
    std::unique_ptr<platform::Application> app_;
};

}  // namespace

bool RegisterStartup(WithApplication application, std::initializer_list<std::function<void()>> steps) {
    ::testing::AddGlobalTestEnvironment(new StartupEnvironment(application, steps));
    return true;
}

}  // namespace twtest
