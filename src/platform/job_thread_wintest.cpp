// The job thread over the system's own lock and condition.
#include "platform/job_thread_cases.h"
