// The container's file side on the in-memory drive, driven by arbitrary
// bytes: the first byte picks how the container is named (among the
// temporaries or as the target in another spelling), whether the rest is
// deflated first, and whether the target is held open; the rest is the
// container. Whatever happens, nothing but the step's temporaries and the
// target is touched; the container is refused before anything is written
// when it is the target's file; the temporary holds exactly the last entry's
// data; putting it in place either replaces the target or leaves it as it was;
// and nothing temporary remains.

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "install/container.h"
#include "install/step_files.h"
#include "protocol/container_reader.h"
#include "testing/memory_env.h"
#include "testing/memory_file.h"

namespace {

constexpr char kFolder[] = "C:\\F\\";
constexpr char kTarget[] = "C:\\F\\Alvo.txt";
constexpr char kOther[] = "C:\\F\\outro.txt";

std::string Deflated(const std::string& body) {
  uLongf n = compressBound(static_cast<uLong>(body.size()));
  std::string out(n, '\0');
  if (compress(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(body.data()),
               static_cast<uLong>(body.size())) != Z_OK)
    std::abort();
  out.resize(n);
  return out;
}

// The last entry's data as the reader gives it, read apart from any file.
std::optional<std::string> LastEntry(const std::string& container, int32_t* entries) {
  std::string last;
  try {
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(container.data()), container.size());
    *entries = selvane::ReadContainer(bytes, [&] { return std::make_unique<selvane::MemorySink>(&last); });
  } catch (const std::exception&) {
    return std::nullopt;
  }
  return last;
}

void Expect(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t flags = data[0];
  std::string container_bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  if (flags & 2) container_bytes = Deflated(container_bytes);
  if (container_bytes.size() > (1 << 20)) return 0;

  selvane::MemoryEnv env;
  env.PutFile(kTarget, "old");
  env.PutFile(kOther, "other");
  selvane::StepFiles step(env, kFolder);
  step.Open(kTarget);
  const std::string temporary = step.NewTemporary(0, kTarget);
  const std::string container = (flags & 1) ? "C:\\f\\ALVO.TXT" : std::string(kFolder) + "Alvo.txt.zip";

  const auto untouched = [&] {
    Expect(env.Contents(kTarget) == "old" && env.Contents(kOther) == "other");
  };
  try {
    selvane::CheckContainerIsNotTarget(env, container, kTarget);
  } catch (const selvane::EFCreateError&) {
    Expect(flags & 1);  // only the target's own file is refused
    untouched();
    selvane::StepFiles::RemoveLeftovers(env, kFolder);
    Expect(env.Files().size() == 2 && env.Folders().size() == 1);
    return 0;
  }
  Expect(!(flags & 1));

  env.PutFile(container, container_bytes);
  int32_t expected_entries = 0;
  const std::optional<std::string> expected = LastEntry(container_bytes, &expected_entries);
  int32_t entries = -1;
  try {
    entries = selvane::Descomprimir(env, container, temporary);
  } catch (const std::exception&) {
    Expect(!expected.has_value());
    Expect(!env.FileExists(temporary));
  }
  env.DeleteFile(container);
  untouched();
  if (entries >= 0) {
    Expect(expected.has_value() && entries == expected_entries);
    Expect(entries == 0 ? !env.FileExists(temporary) : env.Contents(temporary) == *expected);
  }
  if (entries > 0) step.Fetched(0);  // as the folder step reports a file it fetched

  std::optional<std::unique_ptr<selvane::ReadableFile>> held;
  if (flags & 4) held = env.OpenRead(kTarget, selvane::ShareMode::kReadWrite);
  bool committed = true;
  try {
    step.Commit({kTarget});
  } catch (const selvane::EFCreateError&) {
    committed = false;
  }
  held.reset();
  const bool replaced = entries > 0 && committed;
  Expect(env.Contents(kTarget) == (replaced ? *expected : std::string("old")));
  Expect(committed || ((flags & 4) && entries > 0));
  Expect(env.Contents(kOther) == "other");
  Expect(env.Files().size() == 2 && env.Folders().size() == 1);
  return 0;
}
