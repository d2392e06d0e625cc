// What an interrupted step left, on the in-memory drive, with arbitrary bytes
// as its list of new files: the first byte picks whether an old target was
// moved aside and whether a listed file is held open; the rest is the list.
// Whatever the list says, nothing outside the synchronised folder's own
// files is touched (not its sub-folder, not the folder beside it, not the
// drive's root); the moved-aside target is back; and a file that stays in
// the folder either was there before or is reported as left.

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "install/step_files.h"
#include "testing/memory_env.h"

namespace {

constexpr char kFolder[] = "C:\\F\\";
constexpr char kTemp[] = "C:\\F\\~Selvane.tmp\\";
// Files outside the folder, in its sub-folder, and of its own.
constexpr std::pair<const char*, const char*> kBefore[] = {
    {"C:\\kept.txt", "root"},  {"C:\\G\\kept.txt", "beside"}, {"C:\\F\\sub\\kept.txt", "inside"},
    {"C:\\F\\old.txt", "old"}, {"C:\\F\\a.txt", "new a"},    {"C:\\F\\b.txt", "new b"},
};

void Expect(bool ok) {
  if (!ok) std::abort();
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > (1 << 16)) return 0;
  const uint8_t flags = data[0];
  const std::string list(reinterpret_cast<const char*>(data + 1), size - 1);

  selvane::MemoryEnv env;
  for (const auto& [path, content] : kBefore) env.PutFile(path, content);
  env.PutFile(std::string(kTemp) + selvane::StepFiles::kNewFilesName, list);
  if (flags & 1) {
    // An old target moved aside, whose place is empty.
    env.PutFile(std::string(kTemp) + "0\\o00000000-moved.txt", "backed up");
  }
  std::unique_ptr<selvane::ReadableFile> held;
  if (flags & 2) held = env.OpenRead("C:\\F\\a.txt", selvane::ShareMode::kReadWrite);

  const std::optional<std::string> left = selvane::StepFiles::RemoveLeftovers(env, kFolder);

  Expect(env.Contents("C:\\kept.txt") == "root");
  Expect(env.Contents("C:\\G\\kept.txt") == "beside");
  Expect(env.Contents("C:\\F\\sub\\kept.txt") == "inside");
  // Back in its place, unless the list names that place as a new file.
  if (flags & 1) Expect(!env.FileExists("C:\\F\\moved.txt") || env.Contents("C:\\F\\moved.txt") == "backed up");
  for (const std::string& f : env.Files()) {
    bool before = (flags & 1) && f == "C:\\F\\moved.txt";
    for (const auto& [path, content] : kBefore) before = before || f == path;
    // Only what was there stays, and the list only with a file it could not remove.
    Expect(before || (left && f == std::string(kTemp) + selvane::StepFiles::kNewFilesName));
  }
  // A file held open and listed cannot go and is reported; nothing else is.
  // (in the list's own spelling of its name).
  if (left) Expect(Lower(*left) == "c:\\f\\a.txt" && (flags & 2) && env.FileExists("C:\\F\\a.txt"));
  if (!left) Expect(!env.DirectoryExists(kTemp));
  return 0;
}
