#include "platform/system_error_text.h"

namespace selvane {

std::string OpenErrorMessage(const std::string& path, const std::string& reason) {
  return "Cannot open file \"" + path + "\". " + reason;
}

std::string CreateErrorMessage(const std::string& path, const std::string& reason) {
  return "Cannot create file \"" + path + "\". " + reason;
}

}  // namespace selvane
