#include "install/container.h"

#include "platform/system_error_text.h"

namespace selvane {

void CheckContainerIsNotTarget(Env& env, const std::string& container, const std::string& target) {
  if (env.SameFile(container, target)) {
    throw EFCreateError(CreateErrorMessage(target, kSharingViolationText));
  }
}

std::string UnpackTempPath(const std::string& target) { return target + ".~novo"; }

int32_t Descomprimir(Env& env, const std::string& ArquivoZip, const std::string& ArquivoDestino) {
  CheckContainerIsNotTarget(env, ArquivoZip, ArquivoDestino);
  std::unique_ptr<ReadableFile> zip = env.OpenRead(ArquivoZip, ShareMode::kExclusive);
  const std::string temp = UnpackTempPath(ArquivoDestino);
  bool temp_created = false;
  try {
    const auto read = [&zip](void* buf, size_t n) { return zip->Read(buf, n); };
    int32_t entries = ReadContainer(read, [&]() -> std::unique_ptr<WritableFile> {
      try {
        auto f = env.Create(temp, ShareMode::kExclusive);
        temp_created = true;
        return f;
      } catch (const EFCreateError& e) {
        // Report the target, which is what the caller asked to create.
        std::string msg = e.what();
        auto at = msg.find(temp);
        if (at != std::string::npos) msg.replace(at, temp.size(), ArquivoDestino);
        throw EFCreateError(msg);
      }
    });
    if (entries > 0) {
      const std::string reason = env.MoveFileReplaceReason(temp, ArquivoDestino);
      if (!reason.empty()) throw EFCreateError(CreateErrorMessage(ArquivoDestino, reason));
    }
    return entries;
  } catch (...) {
    if (temp_created) env.DeleteFile(temp);
    throw;
  }
}

}  // namespace selvane
