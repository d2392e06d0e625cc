#pragma once
// Display scale: lengths of the 96-dpi layout converted to a monitor's dpi the
// way Windows converts them (MulDiv: the exact quotient rounded half away from
// zero), and the artwork scale a picture is drawn from.

namespace selvane::ui {

inline constexpr int kBaseDpi = 96;

// value * dpi / 96, rounded half away from zero, as MulDiv(value, dpi, 96).
constexpr int ScaleToDpi(int value, int dpi) {
  const long long product = static_cast<long long>(value) * dpi;
  const long long half = kBaseDpi / 2;
  return static_cast<int>(product >= 0 ? (product + half) / kBaseDpi : -((-product + half) / kBaseDpi));
}

// The artwork made for 100, 125, 150 or 200 % that lies nearest to the
// monitor's scale (a tie goes to the larger). Pictures are drawn from it at
// their natural size, never stretched.
constexpr int ArtworkPercent(int dpi) {
  constexpr int kScales[] = {100, 125, 150, 200};
  int best = kScales[0];
  // Distances in units of 1/96 percent, so that no division rounds.
  auto distance = [dpi](int percent) {
    const int d = dpi * 100 - percent * kBaseDpi;
    return d < 0 ? -d : d;
  };
  for (int percent : kScales)
    if (distance(percent) <= distance(best)) best = percent;
  return best;
}

}  // namespace selvane::ui
