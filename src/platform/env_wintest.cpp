#include "platform/windows_api.h"
// (first: the API's macros must be gone before Env is declared)
#include <gtest/gtest.h>

#include "platform/system_error_text.h"
#include "testing/env_contract.h"

namespace selvane {
namespace {

bool RunningUnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

ContractSubject Win32() {
  ContractSubject s{DefaultEnv(), "C:\\selvane-test\\", SystemErrorText(ERROR_FILE_NOT_FOUND),
                    SystemErrorText(ERROR_PATH_NOT_FOUND), SystemErrorText(ERROR_ACCESS_DENIED),
                    SystemErrorText(ERROR_SHARING_VIOLATION)};
  // Wine run by root maps read-only to the file mode, which root writes
  // through, and Wine 8 lets CREATE_ALWAYS replace hidden and system files.
  s.strict_attributes = !RunningUnderWine();
  return s;
}
INSTANTIATE_TEST_SUITE_P(Win32, EnvContract, ::testing::Values(&Win32));

}  // namespace
}  // namespace selvane
