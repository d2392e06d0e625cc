#pragma once
// The desktop shortcut to the point-of-sale program, made after a first
// installation on the window thread.

#include <string>
#include <string_view>

#include "platform/env.h"

namespace selvane {

// Current-user key and value that hold the user's desktop folder.
inline constexpr std::string_view kShellFoldersKey =
    "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr std::string_view kDesktopValue = "Desktop";

// Saves "<desktop>\<ShortcutName>.lnk" pointing at FileName with the given
// arguments and working folder, replacing an existing link of that name.
// Throws when the shell link object cannot be created; a link that cannot be
// saved is simply missing.
void CreateShortcut(Env& env, const std::string& FileName, const std::string& Parameters,
                    const std::string& InitialDir, const std::string& ShortcutName);

}  // namespace selvane
