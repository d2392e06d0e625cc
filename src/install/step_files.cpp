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

// Names as every file system folds them: ASCII letters in either case.
std::string Folded(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

// A name whose letter case every file system folds as Folded does, and that
// cannot be another file's short (8.3) alias.
bool FoldsPlainly(std::string_view name) {
  for (const char c : name) {
    if (static_cast<unsigned char>(c) >= 0x80 || c == '~') return false;
  }
  return true;
}

// The new files a list names: "+name" lines that no later "-name" takes
// back. A last line cut short notes nothing (its file was never made), and a
// line that is not a plain name is no file of the folder's.
std::vector<std::string> ListedNewFiles(Env& env, const std::string& path) {
  std::string text;
  {
    const std::unique_ptr<ReadableFile> file = env.OpenRead(path, ShareMode::kReadWrite);
    char buf[4096];
    for (size_t n; (n = file->Read(buf, sizeof buf)) > 0;) text.append(buf, n);
  }
  std::vector<std::string> names;
  for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = text.substr(at, end - at);
    if (line.size() < 2 || (line[0] != '+' && line[0] != '-')) continue;
    const std::string name = line.substr(1);
    try {
      if (PlainFileNameFromServer(name) != name) continue;
    } catch (const EInvalidFileName&) {
      continue;
    }
    std::erase(names, name);
    if (line[0] == '+') names.push_back(name);
  }
  return names;
}

}  // namespace

// What FetchFile writes file `index` into: made by the step at the first
// entry, emptied again at a later one.
class StepFiles::Output : public FetchOutput {
 public:
  Output(StepFiles& step, size_t index, std::string target)
      : step_(step), index_(index), target_(std::move(target)) {}
  std::unique_ptr<WritableFile> Create() override {
    if (made_) return step_.env_.Create(path_, ShareMode::kExclusive);
    auto file = step_.CreateContent(index_, target_, path_);
    made_ = true;
    return file;
  }
  const std::string& path() const override { return path_; }

 private:
  StepFiles& step_;
  const size_t index_;
  const std::string target_;
  std::string path_;
  bool made_ = false;
};

StepFiles::StepFiles(Env& env, std::string folder)
    : env_(env), folder_(std::move(folder)), temp_folder_(folder_ + kFolderName + "\\") {}

std::optional<std::string> StepFiles::RemoveLeftovers(Env& env, const std::string& folder) {
  const std::string temp_folder = folder + kFolderName + "\\";
  if (!env.DirectoryExists(temp_folder)) return std::nullopt;
  struct Leftover {
    std::string sub_folder;  // a group's, or empty for one directly inside
    std::string name;
  };
  std::vector<Leftover> files;
  std::vector<std::string> sub_folders;
  bool new_files_listed = false;
  for (const DirEntry& e : env.FindFiles(temp_folder + "*.*")) {
    if ((e.attributes & kAttrDirectory) == 0) {
      if (e.name == kNewFilesName) {
        new_files_listed = true;
      } else {
        files.push_back({"", e.name});
      }
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
  // New files go once every old target is back: one moved aside after its
  // new file was made must not come back in its place.
  std::optional<std::string> left;
  if (new_files_listed) {
    const std::string list = temp_folder + kNewFilesName;
    try {
      const std::vector<std::string> names = ListedNewFiles(env, list);
      for (const std::string& name : names) {
        const std::string path = folder + name;
        if (!env.DeleteFile(path) && env.FileExists(path) && !left) left = path;
      }
      // A list that stays would take a later step's file of one of its names.
      if (!left && !env.DeleteFile(list) && !names.empty()) left = list;
    } catch (const EFileError&) {
      left = list;
    }
  }
  for (const std::string& sub : sub_folders) env.RemoveDirectory(temp_folder + sub);
  env.RemoveDirectory(temp_folder);
  return left;
}

void StepFiles::Open(const std::string& first_target) {
  if (!env_.DirectoryExists(temp_folder_) && !env_.CreateDirectory(temp_folder_)) {
    throw EFCreateError(
        CreateErrorMessage(first_target, env_.DirectoryExists(folder_) ? kAccessDeniedText : kPathNotFoundText));
  }
  for (const DirEntry& e : env_.FindFiles(folder_ + "*.*")) taken_.insert(Folded(e.name));
}

std::unique_ptr<FetchOutput> StepFiles::Output(size_t index, const std::string& target) {
  return std::make_unique<class Output>(*this, index, target);
}

std::unique_ptr<WritableFile> StepFiles::CreateContent(size_t index, const std::string& target, std::string& path) {
  const std::string name(FileNamePart(target));
  if (NameIsFree(name) && NoteNewFile('+', name)) {
    path = target;
    std::unique_ptr<WritableFile> file;
    try {
      file = env_.CreateNew(target, ShareMode::kExclusive);
    } catch (const EFileError&) {
      NoteNewFile('-', name);  // nothing was made: a line cut short is no harm
      throw;
    }
    taken_.insert(Folded(name));
    if (file) {
      Mark(index, target);
      return file;
    }
    // Taken after all (made by someone else since the folder was read): the
    // list must say so, or the next run would delete that file.
    WriteNewFilesLine('-', name);
  }
  path = NewTemporary(index, target);
  auto file = env_.Create(path, ShareMode::kExclusive);
  Mark(index, path);
  return file;
}

bool StepFiles::NameIsFree(const std::string& name) const {
  return FoldsPlainly(name) && !taken_.contains(Folded(name));
}

bool StepFiles::NoteNewFile(char sign, const std::string& name) {
  if (new_files_failed_) return false;
  try {
    WriteNewFilesLine(sign, name);
    return true;
  } catch (const EFileError&) {
    new_files_failed_ = true;
    return false;
  }
}

void StepFiles::WriteNewFilesLine(char sign, const std::string& name) {
  if (!new_files_) new_files_ = env_.Create(temp_folder_ + kNewFilesName, ShareMode::kExclusive);
  const std::string line = sign + name + "\n";
  new_files_->Write(line.data(), line.size());
}

bool StepFiles::DropNewFilesList() {
  if (!new_files_) return true;
  try {
    new_files_->Close();
  } catch (const EFileError&) {
  }
  new_files_.reset();
  const std::string list = temp_folder_ + kNewFilesName;
  if (env_.DeleteFile(list)) return true;
  // An empty list names nothing either.
  try {
    env_.Create(list, ShareMode::kExclusive)->Close();
    return true;
  } catch (const EFileError&) {
    return false;
  }
}

void StepFiles::Mark(size_t index, const std::string& path) {
  if (content_.size() <= index) content_.resize(index + 1);
  content_[index] = path;
}

std::string StepFiles::ContentPath(size_t index) const {
  return index < content_.size() ? content_[index] : std::string();
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

void StepFiles::Fetched(size_t index) { Mark(index, TemporaryPath(index)); }

void StepFiles::Commit(const std::vector<std::string>& targets) {
  std::vector<Placed> done;
  for (size_t i = 0; i < targets.size(); ++i) {
    // New files are in place already.
    if (i >= content_.size() || content_[i] != TemporaryPath(i)) continue;
    const std::string temporary = content_[i];
    Placed p{i, targets[i], false, false};
    // A temporary for a free name takes its place in one step (one lookup of
    // the name, which counts in a large folder).
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
  // From here the new files stay: their list goes before anything else.
  if (!DropNewFilesList()) {
    Rollback(done);
    throw EFCreateError(CreateErrorMessage(temp_folder_ + kNewFilesName, kAccessDeniedText));
  }
  for (const Placed& p : done) {
    if (p.backed_up) env_.DeleteFile(BackupPath(p.index, p.target));
  }
  // A temporary the OS would not delete stays for the next run to remove.
  RemoveLeftovers(env_, folder_);
}

void StepFiles::Discard() {
  new_files_.reset();
  RemoveLeftovers(env_, folder_);
}

void StepFiles::Rollback(const std::vector<Placed>& done) {
  new_files_.reset();  // closed, so that RemoveLeftovers reads it
  // Backwards, so that a target named twice ends with its first old content.
  for (auto it = done.rbegin(); it != done.rend(); ++it) {
    if (it->placed) env_.MoveFileReplace(it->target, TemporaryPath(it->index));
    if (it->backed_up) env_.MoveFileReplace(BackupPath(it->index, it->target), it->target);
  }
  // An old target that could not be put back, or a new file that would not
  // go, is still noted in the temporaries' folder for the next run.
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
