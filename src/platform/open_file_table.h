#pragma once
// Which files an Env holds open and how they are shared, so that an exclusive
// open keeps every other opener out as Windows' share modes do.

#include <map>
#include <mutex>
#include <string>

#include "platform/env.h"

namespace selvane {

class OpenFileTable {
 public:
  // Registers a handle on key; false when the sharing of a handle already held
  // (or the one asked for) does not allow both.
  bool Acquire(const std::string& key, ShareMode share);
  void Release(const std::string& key, ShareMode share);
  // Any handle open: deleting, renaming or overwriting the file is refused.
  bool IsOpen(const std::string& key) const;
  // A handle that grants no sharing: even reading is refused.
  bool IsHeldExclusively(const std::string& key) const;

 private:
  struct Holders {
    int exclusive = 0;
    int shared = 0;
  };
  mutable std::mutex mu_;
  std::map<std::string, Holders> open_;
};

}  // namespace selvane
