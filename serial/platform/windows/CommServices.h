#pragma once

// The serial communication services on Windows: the system's own functions,
// structures and constants, named into namespace platform, and the few of
// our own that the Linux mirror has too.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <chrono>
#include <string>

namespace platform {

using ::BOOL;
using ::BYTE;
using ::COMMTIMEOUTS;
using ::COMSTAT;
using ::DCB;
using ::DWORD;
using ::HANDLE;
using ::OVERLAPPED;
using ::WORD;

inline HANDLE const kInvalidHandle = INVALID_HANDLE_VALUE;  // by a name that is no macro

using ::GetLastError;
using ::SetLastError;
// The system's text for an error number (FormatMessage), without the line end.
std::string SysErrorMessage(DWORD Code);
// The error number of this thread's last failure that the serial port
// component noted (NoteLastError), also after the last error was reset: what
// the reason a port is not available is told from.
int LastErrno();
// For a failure of a network line's, the detail it recorded (Fail in
// serial/platform/Failure.h): why the connection ended, say, where the code
// only says the line is gone.
void NoteLastError(DWORD Code);
void ForgetFailureDetail();
// A failure that means the device has gone: an unplugged USB adapter (the
// driver's "access denied", "device not functioning", "not ready"...), or
// under Wine a pseudo-terminal whose other side closed (a broken pipe, an
// aborted wait). The port is closed.
bool IsLostDevice(DWORD Code);

using ::CreateEventA;
using ::ResetEvent;
using ::SetEvent;
using ::WaitForSingleObject;

// The name as the system opens it: "COM5" or "\\.\COM12" as they are.
std::string DevicePathOf(const std::string& DeviceName);

// The system's functions, which also serve the lines behind network
// servers (rfc2217://HOST:PORT, socket://HOST:PORT) that CreateFileA opens
// as handles of our own (NetworkHandles.cpp). Call them qualified: the
// system's have the same names.
HANDLE CreateFileA(const char* FileName, DWORD DesiredAccess, DWORD ShareMode,
                   SECURITY_ATTRIBUTES* Security, DWORD CreationDisposition, DWORD Flags,
                   HANDLE Template);
BOOL CloseHandle(HANDLE Object);
BOOL SetupComm(HANDLE File, DWORD InQueue, DWORD OutQueue);
BOOL GetCommState(HANDLE File, DCB* Dcb);
BOOL SetCommState(HANDLE File, DCB* Dcb);
BOOL GetCommTimeouts(HANDLE File, COMMTIMEOUTS* Timeouts);
BOOL SetCommTimeouts(HANDLE File, COMMTIMEOUTS* Timeouts);
BOOL GetCommMask(HANDLE File, DWORD* EventMask);
BOOL SetCommMask(HANDLE File, DWORD EventMask);
BOOL WaitCommEvent(HANDLE File, DWORD* EventWord, OVERLAPPED* Overlapped);
BOOL WriteFile(HANDLE File, const void* Buffer, DWORD Count, DWORD* Written,
               OVERLAPPED* Overlapped);
BOOL GetOverlappedResult(HANDLE File, OVERLAPPED* Overlapped, DWORD* Transferred, BOOL Wait);
BOOL GetCommModemStatus(HANDLE File, DWORD* ModemStat);
// ::ReadFile and ::PurgeComm, counting what is read and forgetting what is
// purged, for GetCommArrivalTime; ::ClearCommError, with the line errors that
// noting an event cleared.
BOOL ReadFile(HANDLE File, void* Buffer, DWORD Count, DWORD* Read, OVERLAPPED* Overlapped);
BOOL PurgeComm(HANDLE File, DWORD Flags);
BOOL ClearCommError(HANDLE File, DWORD* Errors, COMSTAT* Stat);
// The system does not tell when a byte arrived. The event thread notes, when
// a wait has seen characters arrive, how many wait (ClearCommError) and when;
// a read that takes only such bytes knows they were there by then. A byte
// not noted yet counts as arriving at its read. FALSE while nothing was read.
void NoteCommEvent(HANDLE File, DWORD EventWord);
BOOL GetCommArrivalTime(HANDLE File, std::chrono::steady_clock::time_point* Instant);

using ::GetCurrentProcess;
using ::GetPriorityClass;
using ::SetPriorityClass;
using TThreadId = DWORD;
using ::GetCurrentThreadId;
// The priority of a thread given by its id.
BOOL SetThreadPriority(TThreadId Thread, int Priority);

}  // namespace platform
