#pragma once

// Error numbers of the comm services and the errno behind them.

#include "serial/platform/linux/CommServices.h"

namespace platform {

// The error number for an errno of a failed system call.
DWORD ErrorOfErrno(int Errno);
// Records a failure: GetLastError() gives Code, SysErrorMessage(Code) the
// text of Errno.
void Fail(DWORD Code, int Errno);
void FailErrno(int Errno);  // Fail(ErrorOfErrno(Errno), Errno)

}  // namespace platform
