#pragma once
// The per-file percentage shown while a folder is synchronised.

#include <string>
#include <string_view>

namespace selvane {

inline constexpr std::string_view kInstallingPrefix = "Instalando... ";
inline constexpr std::string_view kUpdatingPrefix = "Atualizando... ";

// position × 100 / count rounded to the nearest integer, a tie going to the
// even one (1 of 8 gives 12, 3 of 8 gives 38).
int RoundedPercent(int position, int count);

// "Instalando... 38% Concluído."
std::string PercentStatus(std::string_view prefix, int position, int count);

}  // namespace selvane
