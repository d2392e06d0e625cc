#pragma once
// Ends every running instance of a program by its executable name.

#include <cstdint>
#include <string_view>

#include "platform/env.h"

namespace selvane {

// Terminates (exit code 0) every process whose reported executable name, or
// its name part, equals ExeFileName without regard to ASCII letter case.
// Non-zero when the last termination attempted succeeded; 0 when it failed or
// nothing matched.
int32_t KillTask(Env& env, std::string_view ExeFileName);

}  // namespace selvane
