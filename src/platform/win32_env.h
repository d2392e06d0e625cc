#pragma once
// The Windows Env: every call goes to the Win32 API of the same purpose.
// Windows-only; portable code reaches it through DefaultEnv().

#include "platform/env.h"

namespace selvane {

class Win32Env : public Env {
 public:
  SELVANE_ENV_FILE_OPERATIONS
  SELVANE_ENV_SYSTEM_SERVICES
  SELVANE_ENV_PROFILE_CODE_PAGE_AND_THREADS
  SELVANE_ENV_PLACING_OPERATIONS
  SELVANE_ENV_FILE_HOLDERS
};

}  // namespace selvane
