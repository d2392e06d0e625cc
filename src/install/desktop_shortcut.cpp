#include "install/desktop_shortcut.h"

namespace selvane {

void CreateShortcut(Env& env, const std::string& FileName, const std::string& Parameters,
                    const std::string& InitialDir, const std::string& ShortcutName) {
  const std::string desktop =
      env.ReadCurrentUserString(std::string(kShellFoldersKey), std::string(kDesktopValue)).value_or("");
  // Without a known desktop the path would be "\<name>.lnk", the root of
  // whatever drive is current: no shortcut beats a stray file there.
  if (desktop.empty()) return;
  env.SaveShellLink(desktop + "\\" + ShortcutName + ".lnk", FileName, Parameters, InitialDir);
}

}  // namespace selvane
