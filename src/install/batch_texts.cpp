#include "install/batch_texts.h"

#include <initializer_list>
#include <string>

namespace selvane {

namespace {

constexpr std::string_view kKillUpdaters = "TASKKILL /F /IM \"Selvane.exe\"";

// AtualizaSistema.bat: ends every running updater, swaps the executables in
// the edition folder by `swap`, and starts the updater found there.
BatchLines UpdaterSwapBatch(const EditionInfo& edition, std::initializer_list<const char*> swap) {
  BatchLines lines = {std::string(kKillUpdaters), edition.update_batch_cd};
  lines.insert(lines.end(), swap.begin(), swap.end());
  lines.emplace_back("start Selvane.exe");
  return lines;
}

}  // namespace

BatchLines FirstCopyBatch(const EditionInfo& edition) {
  return UpdaterSwapBatch(edition, {
                                       "IF exist Selvane_new.exe ( ",
                                       "ren Selvane_new.exe Selvane.exe ",
                                       ")",
                                   });
}

BatchLines ReplacementBatch(const EditionInfo& edition) {
  return UpdaterSwapBatch(edition, {
                                       "ren Selvane.exe Selvane_old.exe",
                                       "IF exist Selvane_new.exe ( ",
                                       "ren Selvane_new.exe Selvane.exe ",
                                       "erase Selvane_old.exe ",
                                       ") ELSE (",
                                       "ren Selvane_old.exe Selvane.exe ",
                                       ")",
                                   });
}

BatchLines FontBatch(const EditionInfo& edition) {
  return {
      edition.font_copy_line,
      "reg add \"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts\" /v \"Sailec Regular "
      "(TrueType)\" /t REG_SZ /d SailecRegular.ttf /f",
  };
}

BatchLines StartBatch(const EditionInfo& edition, std::string_view PastaRaiz, bool Instalacao) {
  BatchLines lines = {std::string(kKillUpdaters), "cd \"C:\\Kavel\\" + std::string(PastaRaiz)};
  if (Instalacao && edition.installs_service) {
    lines.emplace_back("ServicoVendra.exe /install");
    lines.emplace_back("net start ServicoKavel");
  }
  lines.emplace_back(edition.start_line);
  return lines;
}

}  // namespace selvane
