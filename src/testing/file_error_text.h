#pragma once
// The text of the file layer's error that a call raises, for tests that
// compare failure texts; "(no error)" when the call succeeds.

#include <functional>
#include <string>

#include "platform/env.h"

namespace selvane {

inline constexpr char kNoFileError[] = "(no error)";

inline std::string FileErrorText(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const EFileError& e) {
    return e.what();
  }
  return kNoFileError;
}

}  // namespace selvane
