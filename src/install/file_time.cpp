#include "install/file_time.h"

#include "base/dos_time.h"

namespace selvane {

bool DefineDataHoraArq(Env& env, const std::string& NomeArq, double DataHora) {
  try {
    std::optional<DosDateTime> dos = DosDateTimeFromDateTime(DataHora);
    if (!dos) return false;
    return env.SetLastWriteDos(NomeArq, *dos);
  } catch (const std::exception&) {
    return false;
  }
}

std::optional<double> DataHoraArq(Env& env, const std::string& path) {
  std::optional<DosDateTime> dos = env.GetLastWriteDos(path);
  if (!dos) return std::nullopt;
  return DateTimeFromDosDateTime(*dos);
}

}  // namespace selvane
