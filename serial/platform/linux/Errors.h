#pragma once

// Error numbers of the comm services and the errno behind them.

#include "serial/platform/Failure.h"
#include "serial/platform/linux/CommServices.h"

namespace platform {

// The error number for an errno of a failed system call.
DWORD ErrorOfErrno(int Errno);
// Fail (serial/platform/Failure.h) records Code and the errno, whose text
// SysErrorMessage(Code) gives; FailErrno(Errno) is Fail(ErrorOfErrno(Errno),
// Errno).

}  // namespace platform
