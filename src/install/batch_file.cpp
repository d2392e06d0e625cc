#include "install/batch_file.h"

namespace selvane {

std::string BatchFileBytes(Env& env, const BatchLines& lines) {
  std::string bytes;
  for (const std::string& line : lines) {
    bytes += env.ToAnsi(line);
    bytes += "\r\n";
  }
  return bytes;
}

void SaveBatchFile(Env& env, const std::string& path, const BatchLines& lines) {
  std::string bytes = BatchFileBytes(env, lines);
  std::unique_ptr<WritableFile> f = env.Create(path, ShareMode::kExclusive);
  f->Write(bytes.data(), bytes.size());
  f->Close();
}

}  // namespace selvane
