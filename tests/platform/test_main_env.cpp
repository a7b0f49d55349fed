// The window-layer tests need the one application object.
#include "tests/support/environment.h"

namespace {
[[maybe_unused]] const bool tenv_registered = twtest::RegisterStartup(twtest::WithApplication::Yes);
}  // namespace
