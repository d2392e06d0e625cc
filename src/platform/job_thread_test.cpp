// The job thread over the standard lock and condition.
#include "platform/job_thread_cases.h"
