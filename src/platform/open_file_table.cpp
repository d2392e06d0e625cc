#include "platform/open_file_table.h"

namespace selvane {

bool OpenFileTable::Acquire(const std::string& key, ShareMode share) {
  std::lock_guard lock(mu_);
  Holders& h = open_[key];
  const bool free = h.exclusive == 0 && (share == ShareMode::kReadWrite || h.shared == 0);
  if (!free) {
    if (h.exclusive == 0 && h.shared == 0) open_.erase(key);
    return false;
  }
  (share == ShareMode::kExclusive ? h.exclusive : h.shared)++;
  return true;
}

void OpenFileTable::Release(const std::string& key, ShareMode share) {
  std::lock_guard lock(mu_);
  const auto it = open_.find(key);
  if (it == open_.end()) return;
  (share == ShareMode::kExclusive ? it->second.exclusive : it->second.shared)--;
  if (it->second.exclusive <= 0 && it->second.shared <= 0) open_.erase(it);
}

bool OpenFileTable::IsOpen(const std::string& key) const {
  std::lock_guard lock(mu_);
  return open_.count(key) != 0;
}

bool OpenFileTable::IsHeldExclusively(const std::string& key) const {
  std::lock_guard lock(mu_);
  const auto it = open_.find(key);
  return it != open_.end() && it->second.exclusive > 0;
}

}  // namespace selvane
