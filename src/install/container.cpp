#include "install/container.h"

#include <array>
#include <cstring>

#include "platform/system_error_text.h"
#include "base/windows_path.h"

namespace selvane {

namespace {

constexpr size_t kCopyBlock = 64 * 1024;

int32_t ReadInt32(InflateReader& in) {
  uint8_t b[4];
  in.ReadExactly(b, sizeof b);
  return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                              static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24);
}

int32_t ReadLength(InflateReader& in) {
  int32_t n = ReadInt32(in);
  if (n < 0) throw EInvalidContainer();
  return n;
}

void Skip(InflateReader& in, size_t n, std::array<uint8_t, kCopyBlock>& buf) {
  while (n > 0) {
    size_t chunk = n < buf.size() ? n : buf.size();
    in.ReadExactly(buf.data(), chunk);
    n -= chunk;
  }
}

}  // namespace

int32_t UnpackContainer(ReadableFile& container,
                        const std::function<std::unique_ptr<WritableFile>()>& create_target) {
  InflateReader in(container);
  std::array<uint8_t, kCopyBlock> buf;
  int32_t count = ReadInt32(in);
  for (int32_t i = 0; i < count; ++i) {
    Skip(in, static_cast<size_t>(ReadLength(in)), buf);
    size_t left = static_cast<size_t>(ReadLength(in));
    std::unique_ptr<WritableFile> target = create_target();
    while (left > 0) {
      size_t chunk = left < buf.size() ? left : buf.size();
      in.ReadExactly(buf.data(), chunk);
      target->Write(buf.data(), chunk);
      left -= chunk;
    }
    target->Close();
    // The end byte; the last entry's may be missing.
    in.Read(buf.data(), 1);
  }
  in.Finish();
  return count > 0 ? count : 0;
}

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
    int32_t entries = UnpackContainer(*zip, [&] {
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
