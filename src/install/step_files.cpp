#include "install/step_files.h"

#include <cstdio>

#include "install/windows_names.h"
#include "platform/system_error_text.h"

namespace selvane {

namespace {

// Temporaries: "c-<server name>" a container, "n<index>" the unpacked content,
// "o<index>-<name>" an old target moved aside while the step is put in place.
// The index has a fixed width so that old targets sort in the order they
// were moved aside.
std::string Index(size_t index) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%08zu", index);
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
  for (const DirEntry& e : env.FindFiles(temp_folder + "*.*")) {
    if ((e.attributes & kAttrDirectory) != 0) continue;
    const std::string name = BackedUpName(e.name);
    if (!name.empty() && !env.FileExists(folder + name) &&
        env.MoveFileReplace(temp_folder + e.name, folder + name)) {
      continue;
    }
    env.DeleteFile(temp_folder + e.name);
  }
  env.RemoveDirectory(temp_folder);
}

void StepFiles::Open(const std::string& first_target) {
  if (env_.DirectoryExists(temp_folder_) || env_.CreateDirectory(temp_folder_)) return;
  throw EFCreateError(
      CreateErrorMessage(first_target, env_.DirectoryExists(folder_) ? kAccessDeniedText : kPathNotFoundText));
}

std::string StepFiles::ContainerPath(size_t, const std::string& server_name) const {
  return temp_folder_ + "c-" + server_name;
}

std::string StepFiles::TemporaryPath(size_t index) const { return temp_folder_ + "n" + Index(index); }

std::string StepFiles::BackupPath(size_t index, const std::string& target) const {
  return temp_folder_ + "o" + Index(index) + "-" + std::string(FileNamePart(target));
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
    std::string reason;
    if (env_.FileExists(p.target)) {
      reason = env_.MoveFileReplaceReason(p.target, BackupPath(i, p.target));
      p.backed_up = reason.empty();
    }
    if (reason.empty()) {
      reason = env_.MoveFileReplaceReason(temporary, p.target);
      p.placed = reason.empty();
    }
    done.push_back(p);
    if (!reason.empty()) {
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
