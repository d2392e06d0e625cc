#include "install/kill_task.h"

#include "install/windows_names.h"
#include "base/windows_path.h"

namespace selvane {

int32_t KillTask(Env& env, std::string_view ExeFileName) {
  int32_t result = 0;
  for (const ProcessInfo& p : env.SnapshotProcesses()) {
    if (EqualsNoCase(FileNamePart(p.exe_name), ExeFileName) || EqualsNoCase(p.exe_name, ExeFileName)) {
      result = env.TerminateProcess(p.pid, 0) ? 1 : 0;
    }
  }
  return result;
}

}  // namespace selvane
