#pragma once
// An Env for record-set tests and the packet fuzzer: the Windows-1252 code
// page and files held in memory, with creates that can be made to fail.
// Nothing else of the Env is reachable.

#include <map>
#include <set>
#include <string>

#include "base/code_page_1252.h"
#include "platform/env_wrapper.h"
#include "base/ole_variant.h"

namespace selvane {

class MemoryFilesEnv : public EnvWrapper {
 public:
  MemoryFilesEnv() : EnvWrapper(nullptr) {}

  std::map<std::string, Bytes> files;
  std::set<std::string> refuse_create;  // Create of these paths fails
  bool fail_writes = false;             // every Write fails

  std::unique_ptr<WritableFile> Create(const std::string& path, ShareMode) override {
    if (refuse_create.count(path)) {
      throw EFCreateError("Cannot create file \"" + path + "\". Access is denied");
    }
    files[path].clear();
    return std::make_unique<File>(*this, files[path]);
  }
  std::string ToAnsi(std::string_view utf8) override { return Utf8ToWindows1252(utf8); }
  std::string FromAnsi(std::string_view ansi) override { return Windows1252ToUtf8(ansi); }

 private:
  class File : public WritableFile {
   public:
    File(MemoryFilesEnv& env, Bytes& bytes) : env_(env), bytes_(bytes) {}
    void Write(const void* buf, size_t n) override {
      if (env_.fail_writes) throw EInOutError("Disk full");
      const auto* p = static_cast<const uint8_t*>(buf);
      bytes_.insert(bytes_.end(), p, p + n);
    }
    void Close() override {}

   private:
    MemoryFilesEnv& env_;
    Bytes& bytes_;
  };
};

}  // namespace selvane
