#include "install/container.h"

#include "platform/system_error_text.h"
#include "base/windows_path.h"

namespace selvane {

void CheckContainerIsNotTarget(const std::string& container, const std::string& target) {
  if (EqualsNoCase(container, target)) {
    throw EFCreateError(CreateErrorMessage(target, kSharingViolationText));
  }
}

std::string UnpackTempPath(const std::string& target) { return target + ".~novo"; }

void Descomprimir(Env& env, const std::string& ArquivoZip, const std::string& ArquivoDestino) {
  std::unique_ptr<ReadableFile> zip = env.OpenRead(ArquivoZip, ShareMode::kExclusive);
  CheckContainerIsNotTarget(ArquivoZip, ArquivoDestino);
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
    if (entries > 0 && !env.MoveFileReplace(temp, ArquivoDestino)) {
      throw EFCreateError("Cannot create file \"" + ArquivoDestino + "\".");
    }
  } catch (...) {
    if (temp_created) env.DeleteFile(temp);
    throw;
  }
}

}  // namespace selvane
