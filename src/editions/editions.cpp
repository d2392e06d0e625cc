#include "editions/editions.h"

namespace selvane {
namespace {

constexpr std::array<EditionInfo, 3> kEditions = {{
    {
        .edition = Edition::kECF,
        .pasta_raiz = "ECF",
        .choice_caption = "ECF",
        .launcher = "IniciarAtualizacaoPAFECF",
        .exe_folder = "C:\\Kavel\\ECF\\",
        .pos_executable = "C:\\Kavel\\ECF\\VendraECF.exe",
        .install_title = "Instalação Kavel Vendra-ECF",
        .update_title = "Atualização Kavel Vendra-ECF",
        .edition_folder = "C:\\Kavel\\ECF",
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
        .concluindo_after = 3,
        .updater_copy = "C:\\Kavel\\ECF\\Selvane.exe",
        .updater_container = "C:\\Kavel\\ECF\\Selvane_new.zip",
        .updater_new = "C:\\Kavel\\ECF\\Selvane_new.exe",
        .update_batch = "C:\\Kavel\\ECF\\AtualizaSistema.bat",
        .update_batch_cd = "cd C:\\Kavel\\ECF",
        .update_batch_cmd = "cmd.exe /c \"C:\\Kavel\\ECF\\AtualizaSistema.bat\"",
        .start_batch = "C:\\Kavel\\ECF\\IniciarSistema.bat",
        .start_batch_cmd = "cmd.exe /c \"C:\\Kavel\\ECF\\IniciarSistema.bat\"",
        .font_copy_line = "copy C:\\Kavel\\ECF\\SailecRegular.ttf %systemdrive%\\windows\\fonts/y",
        .copies_runtime_packages = true,
        .installs_service = true,
        .start_line = "start VendraECF.exe",
        .shortcut_target = "C:\\Kavel\\ECF\\VendraECF.exe",
        .shortcut_workdir = "C:\\Kavel\\ECF\\",
        .shortcut_title = "Kavel Vendra-ECF",
    },
    {
        .edition = Edition::kNFCE,
        .pasta_raiz = "NFCE",
        .choice_caption = "NFC-e",
        .launcher = "IniciarAtualizacaoNFCE",
        .exe_folder = "C:\\Kavel\\NFCE\\",
        .pos_executable = "C:\\Kavel\\NFCE\\VendraNFCE.exe",
        .install_title = "Instalação Kavel Vendra-NFCe",
        .update_title = "Atualização Kavel Vendra-NFCe",
        .edition_folder = "C:\\Kavel\\NFCE",
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
        .concluindo_after = 3,
        .updater_copy = "C:\\Kavel\\NFCE\\Selvane.exe",
        .updater_container = "C:\\Kavel\\NFCE\\Selvane_new.zip",
        .updater_new = "C:\\Kavel\\NFCE\\Selvane_new.exe",
        .update_batch = "C:\\Kavel\\NFCE\\AtualizaSistema.bat",
        .update_batch_cd = "cd C:\\Kavel\\NFCE",
        .update_batch_cmd = "cmd.exe /c \"C:\\Kavel\\NFCE\\AtualizaSistema.bat\"",
        .start_batch = "C:\\Kavel\\NFCE\\IniciarSistema.bat",
        .start_batch_cmd = "cmd.exe /c \"C:\\Kavel\\NFCE\\IniciarSistema.bat\"",
        .font_copy_line = "copy C:\\Kavel\\NFCE\\SailecRegular.ttf %systemdrive%\\windows\\fonts/y",
        .copies_runtime_packages = false,
        .installs_service = false,
        .start_line = "start VendraNFCE.exe",
        .shortcut_target = "C:\\Kavel\\NFCE\\VendraNFCE.exe",
        .shortcut_workdir = "C:\\Kavel\\NFCE\\",
        .shortcut_title = "Kavel Vendra-NFCe",
    },
    {
        .edition = Edition::kMEI,
        .pasta_raiz = "MEI",
        .choice_caption = "MEI",
        .launcher = "IniciarAtualizacaoDNF",
        .exe_folder = "C:\\Kavel\\MEI\\",
        .pos_executable = "C:\\Kavel\\MEI\\VendraMEI.exe",
        .install_title = "Instalação Kavel Vendra-MEI",
        .update_title = "Atualização Kavel Vendra-MEI",
        .edition_folder = "C:\\Kavel\\MEI",
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
        .concluindo_after = 2,
        .updater_copy = "C:\\Kavel\\MEI\\Selvane.exe",
        .updater_container = "C:\\Kavel\\MEI\\Selvane_new.zip",
        .updater_new = "C:\\Kavel\\MEI\\Selvane_new.exe",
        .update_batch = "C:\\Kavel\\MEI\\AtualizaSistema.bat",
        .update_batch_cd = "cd C:\\Kavel\\MEI",
        .update_batch_cmd = "cmd.exe /c \"C:\\Kavel\\MEI\\AtualizaSistema.bat\"",
        .start_batch = "C:\\Kavel\\MEI\\IniciarSistema.bat",
        .start_batch_cmd = "cmd.exe /c \"C:\\Kavel\\MEI\\IniciarSistema.bat\"",
        .font_copy_line = "copy C:\\Kavel\\MEI\\SailecRegular.ttf %systemdrive%\\windows\\fonts/y",
        .copies_runtime_packages = false,
        .installs_service = false,
        .start_line = "start VendraMEI.exe",
        .shortcut_target = "C:\\Kavel\\MEI\\VendraMEI.exe",
        .shortcut_workdir = "C:\\Kavel\\MEI\\",
        .shortcut_title = "Kavel Vendra-MEI",
    },
}};

}  // namespace

const std::array<EditionInfo, 3>& AllEditions() { return kEditions; }

const EditionInfo& GetEdition(Edition e) { return kEditions[static_cast<size_t>(e)]; }

const EditionInfo* EditionForExeFolder(std::string_view folder) {
  // The order of comparison is NFCE, ECF, MEI; the folders are distinct, so it
  // only matters to a reader checking against the dispatch rule.
  for (Edition e : {Edition::kNFCE, Edition::kECF, Edition::kMEI}) {
    if (GetEdition(e).exe_folder == folder) return &GetEdition(e);
  }
  return nullptr;
}

const EditionInfo* EditionForPastaRaiz(std::string_view pasta_raiz) {
  for (const auto& e : kEditions) {
    if (e.pasta_raiz == pasta_raiz) return &e;
  }
  return nullptr;
}

}  // namespace selvane
