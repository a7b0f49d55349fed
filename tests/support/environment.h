// The start-up a test binary needs, made once when its tests start running
// (never during static initialisation, so listing the tests at build time
// creates no toolkit object): the application object when windows or documents
// are involved, then the binary's own start-up steps in order.
#pragma once

#include <functional>
#include <initializer_list>

namespace twtest {

enum class WithApplication { No, Yes };

// Registers the environment; call once per test binary from a file-scope
// initialiser:
//   [[maybe_unused]] const bool registered =
//       twtest::RegisterStartup(twtest::WithApplication::Yes, {BuildSymbolIndexes});
bool RegisterStartup(WithApplication application, std::initializer_list<std::function<void()>> steps = {});

}  // namespace twtest
