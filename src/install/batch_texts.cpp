#include "install/batch_texts.h"

#include <string>

namespace selvane {

namespace {
constexpr std::string_view kKillUpdaters = "TASKKILL /F /IM \"Selvane.exe\"";
}

BatchLines FirstCopyBatch(const EditionInfo& edition) {
  return {
      std::string(kKillUpdaters),
      std::string(edition.update_batch_cd),
      "IF exist Selvane_new.exe ( ",
      "ren Selvane_new.exe Selvane.exe ",
      ")",
      "start Selvane.exe",
  };
}

BatchLines ReplacementBatch(const EditionInfo& edition) {
  return {
      std::string(kKillUpdaters),
      std::string(edition.update_batch_cd),
      "ren Selvane.exe Selvane_old.exe",
      "IF exist Selvane_new.exe ( ",
      "ren Selvane_new.exe Selvane.exe ",
      "erase Selvane_old.exe ",
      ") ELSE (",
      "ren Selvane_old.exe Selvane.exe ",
      ")",
      "start Selvane.exe",
  };
}

BatchLines FontBatch(const EditionInfo& edition) {
  return {
      std::string(edition.font_copy_line),
      "reg add \"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts\" /v \"Sailec Regular "
      "(TrueType)\" /t REG_SZ /d SailecRegular.ttf /f",
  };
}

BatchLines StartBatch(const EditionInfo& edition, std::string_view pasta_raiz, bool instalacao) {
  BatchLines lines = {std::string(kKillUpdaters), "cd \"C:\\Kavel\\" + std::string(pasta_raiz)};
  if (instalacao && edition.installs_service) {
    lines.emplace_back("ServicoVendra.exe /install");
    lines.emplace_back("net start ServicoKavel");
  }
  lines.emplace_back(edition.start_line);
  return lines;
}

}  // namespace selvane
