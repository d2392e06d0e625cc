#include "editions/editions.h"

#include <gtest/gtest.h>

#include <string>

namespace selvane {
namespace {

std::string S(std::string_view v) { return std::string(v); }

// The paths of an edition are all built on "C:\Kavel\" + PastaRaiz; a typo in
// one of them would send a file, a batch or a shortcut to the wrong place.
TEST(EditionsTest, PathsFollowTheEditionFolder) {
  for (const EditionInfo& e : AllEditions()) {
    SCOPED_TRACE(S(e.PastaRaiz));
    const std::string folder = S(kKavelRoot) + S(e.PastaRaiz) + "\\";
    EXPECT_EQ(S(e.exe_folder), folder);
    EXPECT_EQ(S(e.edition_folder) + "\\", folder);
    EXPECT_EQ(S(e.pos_executable), folder + S(e.process_name));
    EXPECT_EQ(S(e.shortcut_target), S(e.pos_executable));
    EXPECT_EQ(S(e.shortcut_workdir), folder);
    EXPECT_EQ(S(e.updater_copy), folder + "Selvane.exe");
    EXPECT_EQ(S(e.updater_container), folder + "Selvane_new.zip");
    EXPECT_EQ(S(e.updater_new), folder + "Selvane_new.exe");
    EXPECT_EQ(S(e.update_batch), folder + "AtualizaSistema.bat");
    EXPECT_EQ(S(e.update_batch_cd), "cd " + S(e.edition_folder));
    EXPECT_EQ(S(e.update_batch_cmd), "cmd.exe /c \"" + S(e.update_batch) + "\"");
    EXPECT_EQ(S(e.start_batch), folder + "IniciarSistema.bat");
    EXPECT_EQ(S(e.start_batch_cmd), "cmd.exe /c \"" + S(e.start_batch) + "\"");
    EXPECT_EQ(S(e.font_copy_line), "copy " + folder + "SailecRegular.ttf %systemdrive%\\windows\\fonts/y");
    EXPECT_EQ(S(e.start_line), "start " + S(e.process_name));
    EXPECT_NE(S(e.install_title).find("Instalação"), std::string::npos);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(e.syncs[i].method.empty(), i >= e.sync_count) << i;
    }
    EXPECT_EQ(&GetEdition(e.edition), &e);
    EXPECT_EQ(EditionForPastaRaiz(e.PastaRaiz), &e);
    EXPECT_EQ(EditionForExeFolder(e.exe_folder), &e);
  }
  EXPECT_EQ(EditionForPastaRaiz("ecf"), nullptr);
  EXPECT_EQ(EditionForPastaRaiz(""), nullptr);
}

}  // namespace
}  // namespace selvane
