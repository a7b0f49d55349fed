// The shell tests need the one application object.
#include "tests/support/environment.h"

namespace {
[[maybe_unused]] const bool shenv_registered = twtest::RegisterStartup(twtest::WithApplication::Yes);
}  // namespace
