// The document tests need the one application object.
#include "tests/support/environment.h"

namespace {
[[maybe_unused]] const bool docenv_registered = twtest::RegisterStartup(twtest::WithApplication::Yes);
}  // namespace
