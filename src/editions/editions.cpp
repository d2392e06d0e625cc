#include "editions/editions.h"

namespace selvane {
namespace {

// Fills in the paths below the edition folder, which all follow from PastaRaiz.
EditionInfo WithPaths(EditionInfo e) {
  const std::string folder = std::string(kKavelRoot) + std::string(e.PastaRaiz) + "\\";
  const std::string process(e.process_name);
  e.exe_folder = folder;
  e.pos_executable = folder + process;
  e.edition_folder = folder.substr(0, folder.size() - 1);
  e.updater_copy = folder + "Selvane.exe";
  e.updater_container = folder + "Selvane_new.zip";
  e.updater_new = folder + "Selvane_new.exe";
  e.update_batch = folder + "AtualizaSistema.bat";
  e.update_batch_cd = "cd " + e.edition_folder;
  e.update_batch_cmd = "cmd.exe /c \"" + e.update_batch + "\"";
  e.start_batch = folder + "IniciarSistema.bat";
  e.start_batch_cmd = "cmd.exe /c \"" + e.start_batch + "\"";
  e.font_copy_line = "copy " + folder + "SailecRegular.ttf %systemdrive%\\windows\\fonts/y";
  e.start_line = "start " + process;
  e.shortcut_target = e.pos_executable;
  e.shortcut_workdir = folder;
  return e;
}

}  // namespace

const std::array<EditionInfo, 3>& AllEditions() {
  // Built on first use, so that no other static object can meet it half made.
  static const std::array<EditionInfo, 3> kEditions = {{
      WithPaths({
          .edition = Edition::kECF,
          .PastaRaiz = "ECF",
          .choice_caption = "ECF",
          .launcher = "IniciarAtualizacaoPAFECF",
          .install_title = "Instalação Kavel Vendra-ECF",
          .update_title = "Atualização Kavel Vendra-ECF",
          .hidden_extra_folder = "C:\\Windows\\kvl",
          .install_extra_folder = "",
          .process_name = "VendraECF.exe",
          .syncs = {{{"RecompoePastaECF", "C:\\Kavel\\ECF\\"},
                     {"AtualizaPastaECF", "C:\\Kavel\\ECF\\"},
                     {"RecompoePastaKVL", "C:\\Windows\\kvl\\"},
                     {"AtualizaPastaKVL", "C:\\Windows\\kvl\\"}}},
          .sync_count = 4,
          .percent_sync_on_install_1 = 1,
          .percent_sync_on_install_2 = 0,
          .percent_sync_on_update = 4,
          .copies_bpl_on_install = true,
          .concluding_after = 3,
          .copies_runtime_packages = true,
          .installs_service = true,
          .shortcut_title = "Kavel Vendra-ECF",
      }),
      WithPaths({
          .edition = Edition::kNFCE,
          .PastaRaiz = "NFCE",
          .choice_caption = "NFC-e",
          .launcher = "IniciarAtualizacaoNFCE",
          .install_title = "Instalação Kavel Vendra-NFCe",
          .update_title = "Atualização Kavel Vendra-NFCe",
          .hidden_extra_folder = "",
          .install_extra_folder = "C:\\Kavel\\NFCE\\Schemas",
          .process_name = "VendraNFCE.exe",
          .syncs = {{{"RecompoePastaNFCE", "C:\\Kavel\\NFCE\\"},
                     {"AtualizaPastaNFCE", "C:\\Kavel\\NFCE\\"},
                     {"RecompoePastaSchemasNFCE", "C:\\Kavel\\NFCE\\Schemas\\"},
                     {"AtualizaPastaSchemasNFCE", "C:\\Kavel\\NFCE\\Schemas\\"}}},
          .sync_count = 4,
          .percent_sync_on_install_1 = 1,
          .percent_sync_on_install_2 = 3,
          .percent_sync_on_update = 0,
          .copies_bpl_on_install = false,
          .concluding_after = 3,
          .copies_runtime_packages = false,
          .installs_service = false,
          .shortcut_title = "Kavel Vendra-NFCe",
      }),
      WithPaths({
          .edition = Edition::kMEI,
          .PastaRaiz = "MEI",
          .choice_caption = "MEI",
          .launcher = "IniciarAtualizacaoDNF",
          .install_title = "Instalação Kavel Vendra-MEI",
          .update_title = "Atualização Kavel Vendra-MEI",
          .hidden_extra_folder = "",
          .install_extra_folder = "",
          .process_name = "VendraMEI.exe",
          .syncs = {{{"RecompoePastaDNF", "C:\\Kavel\\MEI\\"},
                     {"AtualizaPastaDNF", "C:\\Kavel\\MEI\\"},
                     {"", ""},
                     {"", ""}}},
          .sync_count = 2,
          .percent_sync_on_install_1 = 1,
          .percent_sync_on_install_2 = 0,
          .percent_sync_on_update = 0,
          .copies_bpl_on_install = false,
          .concluding_after = 2,
          .copies_runtime_packages = false,
          .installs_service = false,
          .shortcut_title = "Kavel Vendra-MEI",
      }),
  }};
  return kEditions;
}

const EditionInfo& GetEdition(Edition e) { return AllEditions()[static_cast<size_t>(e)]; }

const EditionInfo* EditionForExeFolder(std::string_view folder) {
  // The order of comparison is NFCE, ECF, MEI; the folders are distinct, so it
  // only matters to a reader checking against the dispatch rule.
  for (Edition e : {Edition::kNFCE, Edition::kECF, Edition::kMEI}) {
    if (GetEdition(e).exe_folder == folder) return &GetEdition(e);
  }
  return nullptr;
}

const EditionInfo* EditionForPastaRaiz(std::string_view PastaRaiz) {
  for (const auto& e : AllEditions()) {
    if (e.PastaRaiz == PastaRaiz) return &e;
  }
  return nullptr;
}

}  // namespace selvane
