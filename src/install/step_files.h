#pragma once
// The files of one synchronisation step on their way in: every fetched file
// waits as a temporary until the last one has arrived, then all are put in
// place together; a failure while putting them in place puts back every
// target as it was.

#include <cstddef>
#include <string>
#include <vector>

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

  StepFiles(Env& env, std::string folder);

  // What an interrupted earlier run left in `folder`: an old target moved aside
  // whose place is empty is put back, everything else is deleted, and the
  // temporaries' folder is removed. Runs before the folder is listed.
  static void RemoveLeftovers(Env& env, const std::string& folder);

  // Creates the temporaries' folder. `first_target` names the failure when
  // the folder being synchronised is missing.
  void Open(const std::string& first_target);
  // Temporaries wait in groups of this many per folder: some file systems,
  // and Windows emulated on them, look a missing name up by reading the
  // whole folder, so that making the n-th file of one folder costs n.
  static constexpr size_t kGroupSize = 64;

  // Where the unpacked content of file `index` waits; NewTemporary first
  // makes its group's folder, naming `target` if it cannot.
  std::string NewTemporary(size_t index, const std::string& target);
  std::string TemporaryPath(size_t index) const;

  // Notes that the temporary of file `index` was made (a container without
  // entries makes none and changes nothing).
  void Fetched(size_t index);

  // Puts every temporary noted as fetched in the place of its target, in the
  // order given; a later entry for the same target wins. On a failure every
  // target is put back as it was and the failure is thrown, naming the file
  // and, where the system tells, the programs holding it. Afterwards the old
  // targets and the temporaries' folder are removed.
  void Commit(const std::vector<std::string>& targets);

 private:
  struct Placed {
    size_t index;
    std::string target;
    bool backed_up;
    bool placed;
  };
  std::string BackupPath(size_t index, const std::string& target) const;
  void Rollback(const std::vector<Placed>& done);

  Env& env_;
  const std::string folder_;
  const std::string temp_folder_;
  std::vector<bool> fetched_;
  std::vector<bool> groups_;  // group folders made
};

// The failure of putting `target` in place for the system's `reason`: it
// names the programs holding the target where the system tells them, in the
// program's language, and is the file layer's plain text otherwise.
std::string ReplaceFailureText(Env& env, const std::string& target, const std::string& reason);

}  // namespace selvane
