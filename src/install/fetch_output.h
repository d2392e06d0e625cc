#pragma once
// Where a fetched file's unpacked content is written.

#include <memory>
#include <string>

#include "platform/env.h"

namespace selvane {

class FetchOutput {
 public:
  virtual ~FetchOutput() = default;
  // Makes the file for the container's next entry: the first call creates
  // it, a later one (the same target named again) empties it. Throws
  // EFCreateError naming path().
  virtual std::unique_ptr<WritableFile> Create() = 0;
  // The file Create made or last tried to make: named in failures, and
  // deleted when the fetch fails after making it.
  virtual const std::string& path() const = 0;
};

// A temporary file of the caller's, made anew at each Create.
class TemporaryOutput : public FetchOutput {
 public:
  TemporaryOutput(Env& env, std::string path) : env_(env), path_(std::move(path)) {}
  std::unique_ptr<WritableFile> Create() override { return env_.Create(path_, ShareMode::kExclusive); }
  const std::string& path() const override { return path_; }

 private:
  Env& env_;
  const std::string path_;
};

}  // namespace selvane
