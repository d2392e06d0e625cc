#include "install/start_system.h"

#include <array>
#include <set>
#include <string>

#include "install/batch_texts.h"
#include "install/windows_names.h"
#include "base/windows_path.h"

namespace selvane {

namespace {

void CopyRuntimePackages(Env& env) {
  const std::string target =
      env.DirectoryExists("C:\\Windows\\SysWOW64") ? "C:\\Windows\\SysWOW64\\" : "C:\\Windows\\System32\\";
  static constexpr std::array<std::string_view, 2> kPackages = {"rtl260.bpl", "vcl260.bpl"};
  for (std::string_view package : kPackages) {
    const std::string to = target + std::string(package);
    // A package already in the system folder is never replaced.
    if (!env.FileExists(to)) env.CopyFile("C:\\Kavel\\ECF\\" + std::string(package), to, false);
  }
}

std::set<uint32_t> CommandInterpreters(Env& env) {
  std::set<uint32_t> pids;
  for (const ProcessInfo& p : env.SnapshotProcesses()) {
    if (EqualsNoCase(FileNamePart(p.exe_name), "cmd.exe")) pids.insert(p.pid);
  }
  return pids;
}

// Both runs share one batch file, and cmd.exe reads a batch line by line as it
// goes: a first run still starting when the second batch is written would run
// the second batch too (the service installed twice, the program started twice,
// the font never registered). So wait, within a bound, until the interpreters
// started since `before` have ended.
void WaitForBatchEnd(Env& env, const std::set<uint32_t>& before) {
  for (uint32_t waited = 0; waited < kBatchEndLimitMs; waited += kBatchPollMs) {
    bool running = false;
    for (uint32_t pid : CommandInterpreters(env)) running = running || before.count(pid) == 0;
    if (!running) return;
    env.SleepMs(kBatchPollMs);
  }
}

}  // namespace

void IniciarSistema(Env& env, const EditionInfo& edition, const WindowPort& window, bool Instalacao) {
  const std::string PastaRaiz = window.PastaRaiz();
  const std::string batch = std::string(kKavelRoot) + PastaRaiz + "\\IniciarSistema.bat";

  if (edition.copies_runtime_packages) CopyRuntimePackages(env);

  SaveBatchFile(env, batch, FontBatch(edition));
  const std::set<uint32_t> before = CommandInterpreters(env);
  // Both runs start in the edition folder: the start line names the program
  // without a folder.
  env.RunHidden(edition.start_batch_cmd, edition.edition_folder);
  env.SleepMs(1000);
  WaitForBatchEnd(env, before);

  env.AddFontResource(std::string(kSailecFontFile));
  env.BroadcastFontChange();

  SaveBatchFile(env, batch, StartBatch(edition, PastaRaiz, Instalacao));
  env.RunHidden(edition.start_batch_cmd, edition.edition_folder);
}

}  // namespace selvane
