#include "install/progress_text.h"

#include <cmath>

namespace selvane {

int RoundedPercent(int position, int count) {
  const double exact = static_cast<double>(static_cast<long long>(position) * 100) / count;
  // Round half to even, independent of the floating-point environment.
  double whole = std::floor(exact);
  const double frac = exact - whole;
  if (frac > 0.5 || (frac == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  return static_cast<int>(whole);
}

std::string PercentStatus(std::string_view prefix, int position, int count) {
  return std::string(prefix) + std::to_string(RoundedPercent(position, count)) + "% Concluído.";
}

}  // namespace selvane
