#include "serial/platform/linux/Errors.h"

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

struct TLastError {
  DWORD Code = 0;
  // The errno behind the last failure, kept when Code is reset so that the
  // message of a reported error can still be looked up.
  DWORD DetailCode = 0;
  int DetailErrno = 0;
};
thread_local TLastError LastError;

// An errno that stands for an error number when nothing more is known.
int TypicalErrno(DWORD Code) {
  switch (Code) {
    case ERROR_FILE_NOT_FOUND:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
      return EACCES;
    case ERROR_INVALID_HANDLE:
      return EBADF;
    case ERROR_NOT_ENOUGH_MEMORY:
      return ENOMEM;
    case ERROR_NOT_SUPPORTED:
      return ENOTTY;
    case ERROR_INVALID_PARAMETER:
      return EINVAL;
    case ERROR_OPERATION_ABORTED:
      return ECANCELED;
    case ERROR_IO_PENDING:
      return EINPROGRESS;
    default:
      return EIO;
  }
}

}  // namespace

DWORD GetLastError() {
  return LastError.Code;
}

void SetLastError(DWORD Code) {
  LastError.Code = Code;
}

void Fail(DWORD Code, int Errno) {
  LastError.Code = Code;
  LastError.DetailCode = Code;
  LastError.DetailErrno = Errno;
}

int LastErrno() {
  return LastError.DetailErrno;
}

void FailErrno(int Errno) {
  Fail(ErrorOfErrno(Errno), Errno);
}

DWORD ErrorOfErrno(int Errno) {
  switch (Errno) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK:
    case EIO:  // the device hung up
      return ERROR_ACCESS_DENIED;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case ENOTTY:
      return ERROR_NOT_SUPPORTED;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case ECANCELED:
      return ERROR_OPERATION_ABORTED;
    default:
      return ERROR_GEN_FAILURE;
  }
}

std::string SysErrorMessage(DWORD Code) {
  const int errnum = Code == LastError.DetailCode && LastError.DetailErrno != 0
                         ? LastError.DetailErrno
                         : TypicalErrno(Code);
  char buffer[256];
  // GNU strerror_r returns the text, not necessarily in buffer.
  return ::strerror_r(errnum, buffer, sizeof buffer);
}

}  // namespace platform
