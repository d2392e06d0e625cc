#include "install/step_files.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "install/windows_names.h"
#include "platform/system_error_text.h"

namespace selvane {

namespace {

// Temporaries: "n<index>" the unpacked content, "o<index>-<name>" an old
// target moved aside while the step is put in place, both in the group
// folder "g<index / kGroupSize>". The index has a fixed width so that old
// targets sort in the order they were moved aside.
std::string Index(size_t index) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%08zu", index);
  return buf;
}

std::string Group(size_t index) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "g%05zu\\", index / StepFiles::kGroupSize);
  return buf;
}

// The target name an old target's temporary stands for; empty for others
// and for anything that is not a plain name inside the folder.
std::string BackedUpName(const std::string& temporary) {
  if (temporary.size() < 10 || temporary[0] != 'o' || temporary[9] != '-') return {};
  const std::string name = temporary.substr(10);
  try {
    return PlainFileNameFromServer(name) == name ? name : std::string();
  } catch (const EInvalidFileName&) {
    return {};
  }
}

}  // namespace

StepFiles::StepFiles(Env& env, std::string folder)
    : env_(env), folder_(std::move(folder)), temp_folder_(folder_ + kFolderName + "\\") {}

void StepFiles::RemoveLeftovers(Env& env, const std::string& folder) {
  const std::string temp_folder = folder + kFolderName + "\\";
  if (!env.DirectoryExists(temp_folder)) return;
  struct Leftover {
    std::string sub_folder;  // a group's, or empty for one directly inside
    std::string name;
  };
  std::vector<Leftover> files;
  std::vector<std::string> sub_folders;
  for (const DirEntry& e : env.FindFiles(temp_folder + "*.*")) {
    if ((e.attributes & kAttrDirectory) == 0) {
      files.push_back({"", e.name});
    } else if (e.name != "." && e.name != "..") {
      sub_folders.push_back(e.name + "\\");
      for (const DirEntry& f : env.FindFiles(temp_folder + sub_folders.back() + "*.*")) {
        if ((f.attributes & kAttrDirectory) == 0) files.push_back({sub_folders.back(), f.name});
      }
    }
  }
  // By index, whatever order the folders list in: of a target moved aside
  // twice, the first old content is the one put back.
  std::sort(files.begin(), files.end(), [](const Leftover& a, const Leftover& b) { return a.name < b.name; });
  for (const Leftover& f : files) {
    const std::string path = temp_folder + f.sub_folder + f.name;
    const std::string name = BackedUpName(f.name);
    if (!name.empty() && env.MoveFileToFreeName(path, folder + name) == "") continue;
    env.DeleteFile(path);
  }
  for (const std::string& sub : sub_folders) env.RemoveDirectory(temp_folder + sub);
  env.RemoveDirectory(temp_folder);
}

void StepFiles::Open(const std::string& first_target) {
  if (env_.DirectoryExists(temp_folder_) || env_.CreateDirectory(temp_folder_)) return;
  throw EFCreateError(
      CreateErrorMessage(first_target, env_.DirectoryExists(folder_) ? kAccessDeniedText : kPathNotFoundText));
}

std::string StepFiles::NewTemporary(size_t index, const std::string& target) {
  const size_t group = index / kGroupSize;
  if (groups_.size() <= group) groups_.resize(group + 1);
  if (!groups_[group]) {
    const std::string path = temp_folder_ + Group(index);
    if (!env_.DirectoryExists(path) && !env_.CreateDirectory(path)) {
      throw EFCreateError(
          CreateErrorMessage(target, env_.DirectoryExists(temp_folder_) ? kAccessDeniedText : kPathNotFoundText));
    }
    groups_[group] = true;
  }
  return TemporaryPath(index);
}

std::string StepFiles::TemporaryPath(size_t index) const { return temp_folder_ + Group(index) + "n" + Index(index); }

std::string StepFiles::BackupPath(size_t index, const std::string& target) const {
  return temp_folder_ + Group(index) + "o" + Index(index) + "-" + std::string(FileNamePart(target));
}

void StepFiles::Fetched(size_t index) {
  if (fetched_.size() <= index) fetched_.resize(index + 1);
  fetched_[index] = true;
}

void StepFiles::Commit(const std::vector<std::string>& targets) {
  std::vector<Placed> done;
  for (size_t i = 0; i < targets.size(); ++i) {
    if (i >= fetched_.size() || !fetched_[i]) continue;
    const std::string temporary = TemporaryPath(i);
    Placed p{i, targets[i], false, false};
    // A new file takes its place in one step (one lookup of the name, which
    // counts in a large folder).
    const std::optional<std::string> moved = env_.MoveFileToFreeName(temporary, p.target);
    std::string reason;
    if (moved) {
      reason = *moved;
    } else {
      // The name is taken: an old file is moved aside first; a folder is
      // never replaced, and the move below fails on it.
      if (env_.FileExists(p.target)) {
        reason = env_.MoveFileReplaceReason(p.target, BackupPath(i, p.target));
        p.backed_up = reason.empty();
      }
      if (reason.empty()) reason = env_.MoveFileReplaceReason(temporary, p.target);
    }
    p.placed = reason.empty();
    done.push_back(p);
    if (!p.placed) {
      const std::string text = ReplaceFailureText(env_, p.target, reason);
      Rollback(done);
      throw EFCreateError(text);
    }
  }
  for (const Placed& p : done) {
    if (p.backed_up) env_.DeleteFile(BackupPath(p.index, p.target));
  }
  // A temporary the OS would not delete stays for the next run to remove.
  RemoveLeftovers(env_, folder_);
}

void StepFiles::Rollback(const std::vector<Placed>& done) {
  // Backwards, so that a target named twice ends with its first old content.
  for (auto it = done.rbegin(); it != done.rend(); ++it) {
    if (it->placed) env_.MoveFileReplace(it->target, TemporaryPath(it->index));
    if (it->backed_up) env_.MoveFileReplace(BackupPath(it->index, it->target), it->target);
  }
  // An old target that could not be put back is still in the temporaries'
  // folder, where the next run's RemoveLeftovers finds it.
  RemoveLeftovers(env_, folder_);
}

std::string ReplaceFailureText(Env& env, const std::string& target, const std::string& reason) {
  const std::vector<std::string> holders = env.ProgramsHoldingFile(target);
  if (holders.empty()) return CreateErrorMessage(target, reason);
  std::string names;
  for (size_t i = 0; i < holders.size(); ++i) {
    if (i > 0) names += i + 1 == holders.size() ? " e " : ", ";
    names += holders[i];
  }
  return "Não foi possível substituir o arquivo \"" + target + "\": ele está em uso por " + names +
         ". Feche o programa e tente novamente. (" + reason + ")";
}

}  // namespace selvane
