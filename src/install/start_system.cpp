#include "install/start_system.h"

#include <array>
#include <string>

#include "install/batch_texts.h"

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

}  // namespace

void IniciarSistema(Env& env, const EditionInfo& edition, const WindowPort& window) {
  const std::string pasta_raiz = window.PastaRaiz();
  const bool instalacao = window.Title().find("Instalação") != std::string::npos;
  const std::string batch = std::string(kKavelRoot) + pasta_raiz + "\\IniciarSistema.bat";

  if (edition.copies_runtime_packages) CopyRuntimePackages(env);

  SaveBatchFile(env, batch, FontBatch(edition));
  env.RunHidden(std::string(edition.start_batch_cmd));
  env.SleepMs(1000);

  env.AddFontResource(std::string(kSailecFontFile));
  env.BroadcastFontChange();

  SaveBatchFile(env, batch, StartBatch(edition, pasta_raiz, instalacao));
  env.RunHidden(std::string(edition.start_batch_cmd));
}

}  // namespace selvane
