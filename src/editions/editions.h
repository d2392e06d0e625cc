#pragma once
// The three editions of the point-of-sale program and every value that differs
// between them. The rest of the installer is written once over this table.

#include <array>
#include <string>
#include <string_view>

namespace selvane {

enum class Edition { kECF, kNFCE, kMEI };

// One folder synchronisation of a worker run: remote method and local folder.
struct FolderSync {
  std::string_view method;  // proxy operation / remote method, e.g. "RecompoePastaECF"
  std::string_view folder;  // local folder with trailing backslash
};

struct EditionInfo {
  Edition edition;
  std::string_view PastaRaiz;           // "ECF", "NFCE", "MEI"
  std::string_view choice_caption;      // "ECF", "NFC-e", "MEI"
  std::string_view launcher;            // "IniciarAtualizacaoPAFECF", ...
  std::string_view install_title;       // "Instalação Kavel Vendra-ECF"
  std::string_view update_title;        // "Atualização Kavel Vendra-ECF"
  // Extra folders the launcher creates when missing; empty when the edition has none.
  std::string_view hidden_extra_folder;   // on installation and update, then hidden (ECF: "C:\Windows\kvl")
  std::string_view install_extra_folder;  // on installation only (NFCE: "C:\Kavel\NFCE\Schemas")
  std::string_view process_name;        // "VendraECF.exe"
  // Two or four synchronisations, in order; unused entries have an empty method.
  std::array<FolderSync, 4> syncs;
  int sync_count;
  // 1-based numbers of the synchronisations that show a percentage.
  int percent_sync_on_install_1;  // "Instalando... "
  int percent_sync_on_install_2;  // second one on install (NFCE step 3), 0 if none
  int percent_sync_on_update;     // "Atualizando... " (ECF step 4), 0 if none
  bool copies_bpl_on_install;     // step 1 on installation copies "*.bpl*" into C:\Windows\kvl\ (ECF)
  // "Concluíndo..." is shown after this many synchronisations (3 for ECF/NFCE, 2 for MEI).
  int concluding_after;
  bool copies_runtime_packages;         // rtl260.bpl and vcl260.bpl into the system folder (ECF)
  bool installs_service;                // "ServicoVendra.exe /install", "net start ServicoKavel" (ECF)
  std::string_view shortcut_title;      // "Kavel Vendra-ECF"

  // Below the edition folder "C:\Kavel\" + PastaRaiz + "\": made from the values above.
  std::string exe_folder;         // "C:\Kavel\ECF\" (exact, letter case included)
  std::string pos_executable;     // "C:\Kavel\ECF\VendraECF.exe"
  std::string edition_folder;     // "C:\Kavel\ECF" (no trailing backslash)
  std::string updater_copy;       // "C:\Kavel\ECF\Selvane.exe"
  std::string updater_container;  // "C:\Kavel\ECF\Selvane_new.zip"
  std::string updater_new;        // "C:\Kavel\ECF\Selvane_new.exe"
  std::string update_batch;       // "C:\Kavel\ECF\AtualizaSistema.bat"
  std::string update_batch_cd;    // "cd C:\Kavel\ECF"
  std::string update_batch_cmd;   // cmd.exe /c "C:\Kavel\ECF\AtualizaSistema.bat"
  std::string start_batch;        // "C:\Kavel\ECF\IniciarSistema.bat"
  std::string start_batch_cmd;    // cmd.exe /c "C:\Kavel\ECF\IniciarSistema.bat"
  std::string font_copy_line;     // copy C:\Kavel\ECF\SailecRegular.ttf %systemdrive%\windows\fonts/y
  std::string start_line;         // "start VendraECF.exe"
  std::string shortcut_target;    // "C:\Kavel\ECF\VendraECF.exe"
  std::string shortcut_workdir;   // "C:\Kavel\ECF\"
};

// Values shared by every edition.
inline constexpr std::string_view kKavelRoot = "C:\\Kavel\\";
inline constexpr std::string_view kKavelRootNoSlash = "C:\\Kavel";
inline constexpr std::string_view kKvlFolderSlash = "C:\\Windows\\kvl\\";
inline constexpr unsigned kKvlAttributes = 18;  // hidden (2) + directory (16)

const EditionInfo& GetEdition(Edition e);
const std::array<EditionInfo, 3>& AllEditions();
// By the folder of the running executable: exact comparison, in the order NFCE, ECF, MEI.
const EditionInfo* EditionForExeFolder(std::string_view folder);
const EditionInfo* EditionForPastaRaiz(std::string_view PastaRaiz);

}  // namespace selvane
