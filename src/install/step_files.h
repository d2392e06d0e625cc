#pragma once
// The files of one synchronisation step on their way in, all or nothing. A
// file for a name the folder does not hold is written under that name at
// once, noted first in the step's list of new files; every other file waits
// as a temporary until the last one has arrived, then all are put in place
// together. A failure, or the next run after an interrupted one, puts back
// every target as it was and removes every new file the list names.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "install/fetch_output.h"
#include "platform/env.h"

namespace selvane {

class StepFiles {
 public:
  // The step's temporaries live in this folder inside the folder being
  // synchronised. Every name the server sends is a plain name, a direct child
  // of the folder, so none can be one of the files in here; the folder listing
  // skips folders, so nothing in here is ever listed to the server; and what an
  // interrupted run left is recognised as a whole. A server file named like
  // this folder cannot be put in place (a folder is never replaced) and fails
  // the step, losing nothing.
  static constexpr char kFolderName[] = "~Selvane.tmp";

  // The list of new files, inside the temporaries' folder: a line "+name"
  // before a new file is made, "-name" when the name turned out taken.
  static constexpr char kNewFilesName[] = "new files";

  StepFiles(Env& env, std::string folder);

  // What an interrupted earlier run left in `folder`: an old target moved aside
  // whose place is empty is put back, every new file the list names is
  // deleted, everything else is deleted, and the temporaries' folder is
  // removed. Runs before the folder is listed. Returns the first new file that
  // could not be deleted (the list then stays for the next run), or the list
  // when it names files and cannot go; a step must not start while one is
  // left.
  static std::optional<std::string> RemoveLeftovers(Env& env, const std::string& folder);

  // Creates the temporaries' folder and notes the names the folder holds.
  // `first_target` names the failure when the folder being synchronised is
  // missing.
  void Open(const std::string& first_target);
  // Temporaries wait in groups of this many per folder: some file systems,
  // and Windows emulated on them, look a missing name up by reading the
  // whole folder, so that making the n-th file of one folder costs n.
  static constexpr size_t kGroupSize = 64;

  // Where file `index` (for `target`) is written, for FetchFile.
  std::unique_ptr<FetchOutput> Output(size_t index, const std::string& target);
  // Where file `index`'s content is now; empty when none was written.
  std::string ContentPath(size_t index) const;

  // Where the content of file `index` waits when it goes through a
  // temporary; NewTemporary first makes its group's folder, naming `target`
  // if it cannot. A caller that writes the temporary by other means than
  // Output (unpacking a container on disk) notes it with Fetched.
  std::string NewTemporary(size_t index, const std::string& target);
  void Fetched(size_t index);

  // Puts every temporary written in the place of its target, in the
  // order given; a later entry for the same target wins. On a failure every
  // target is put back as it was, every new file removed, and the failure is
  // thrown, naming the file and, where the system tells, the programs holding
  // it. Afterwards the old targets and the temporaries' folder are removed.
  void Commit(const std::vector<std::string>& targets);
  // The step failed before Commit: everything it wrote goes.
  void Discard();

 private:
  class Output;
  struct Placed {
    size_t index;
    std::string target;
    bool backed_up;
    bool placed;
  };
  std::string TemporaryPath(size_t index) const;
  // Makes the file for file `index`'s first entry and sets `path` to it.
  std::unique_ptr<WritableFile> CreateContent(size_t index, const std::string& target, std::string& path);
  bool NameIsFree(const std::string& name) const;
  // Adds a line to the list of new files; false when the list cannot be
  // written, and from then on no file is made under its own name.
  bool NoteNewFile(char sign, const std::string& name);
  void WriteNewFilesLine(char sign, const std::string& name);
  // Closes and deletes (or else empties) the list; false when it still names files.
  bool DropNewFilesList();
  void Mark(size_t index, const std::string& path);
  std::string BackupPath(size_t index, const std::string& target) const;
  void Rollback(const std::vector<Placed>& done);

  Env& env_;
  const std::string folder_;
  const std::string temp_folder_;
  std::vector<std::string> content_;       // where each file's content is
  std::vector<bool> groups_;               // group folders made
  std::unordered_set<std::string> taken_;  // names in the folder, letter case folded
  std::unique_ptr<WritableFile> new_files_;
  bool new_files_failed_ = false;
};

// The failure of putting `target` in place for the system's `reason`: it
// names the programs holding the target where the system tells them, in the
// program's language, and is the file layer's plain text otherwise.
std::string ReplaceFailureText(Env& env, const std::string& target, const std::string& reason);

}  // namespace selvane
