#pragma once

// How the comm functions of our own record a failure: GetLastError() gives
// Code, and the detail tells why, for the texts a technician reads. On Linux
// the detail is the errno; on Windows a number of the system's (which
// becomes the last error where no Code is given).

#include "serial/platform/CommServices.h"

namespace platform {

void Fail(DWORD Code, int Detail);
// A failure whose code the detail gives.
void FailErrno(int Detail);

}  // namespace platform
