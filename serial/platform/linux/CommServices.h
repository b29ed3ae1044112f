#pragma once

// The operating system's serial communication services, in the shape the
// serial port component is written against: handles, event objects,
// overlapped transfers, the device control block, time-outs, event masks,
// error flags and error numbers. Implemented on Linux with termios, epoll
// and eventfd.
//
// Each open device has a driver thread of its own that carries pending
// transfers and event waits to completion, as the system's driver would:
// a caller never has to poll. Functions report failure by returning FALSE
// (or INVALID_HANDLE_VALUE) and leave the reason in GetLastError().
//
// Device names: "COMn" and "\\.\COMn" are /dev/ttyS(n-1); "\\.\NAME" is
// /dev/NAME; "\\.\/path" and "/path" are taken as they stand.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>

namespace platform {

using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using BYTE = std::uint8_t;
using BOOL = int;
inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

class TKernelObject {
 public:
  virtual ~TKernelObject() = default;
};
using HANDLE = TKernelObject*;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t{0});
inline HANDLE const kInvalidHandle = INVALID_HANDLE_VALUE;  // by a name that is no macro

// Error numbers
inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_GEN_FAILURE = 31;
inline constexpr DWORD ERROR_NOT_SUPPORTED = 50;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_OPERATION_ABORTED = 995;
inline constexpr DWORD ERROR_IO_INCOMPLETE = 996;
inline constexpr DWORD ERROR_IO_PENDING = 997;

DWORD GetLastError();
void SetLastError(DWORD Code);
// The system's text for an error number. For the calling thread's last
// failure it is the text of the underlying errno ("Device or resource
// busy", "No such file or directory" ...), even after SetLastError(0).
std::string SysErrorMessage(DWORD Code);
// The system's own number of this thread's last failure (the errno), also
// after its error number was reset (0 if there was none): one error number
// stands for several.
int LastErrno();
// The component notes each failure it raises; here the errno behind it is
// kept by every function already.
inline void NoteLastError(DWORD) {}
// A failure that means the device has gone (an unplugged adapter): the port
// is closed.
inline bool IsLostDevice(DWORD Code) {
  return Code == ERROR_ACCESS_DENIED;  // what every call gives after a hang-up
}

// Event objects
inline constexpr DWORD INFINITE = 0xFFFFFFFF;
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

HANDLE CreateEventA(void* Attributes, BOOL ManualReset, BOOL InitialState, const char* Name);
BOOL SetEvent(HANDLE Event);
BOOL ResetEvent(HANDLE Event);
DWORD WaitForSingleObject(HANDLE Object, DWORD Milliseconds);
BOOL CloseHandle(HANDLE Object);

// Overlapped operations. Internal holds the status (STATUS_PENDING while
// the operation runs), InternalHigh the bytes transferred.
inline constexpr std::uintptr_t STATUS_PENDING = 0x103;
struct OVERLAPPED {
  std::uintptr_t Internal = 0;
  std::uintptr_t InternalHigh = 0;
  DWORD Offset = 0;
  DWORD OffsetHigh = 0;
  HANDLE hEvent = nullptr;
};

// Opening a device
inline constexpr DWORD GENERIC_READ = 0x80000000;
inline constexpr DWORD GENERIC_WRITE = 0x40000000;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000;

// Opens a serial device read/write, exclusively (a device another program
// holds gives ERROR_ACCESS_DENIED, also for root), in raw mode.
HANDLE CreateFileA(const char* FileName, DWORD DesiredAccess, DWORD ShareMode, void* Security,
                   DWORD CreationDisposition, DWORD FlagsAndAttributes, HANDLE TemplateFile);
std::string DevicePathOf(const std::string& DeviceName);

// Device control block: 28 bytes, as the services define it.
struct DCB {
  DWORD DCBlength;
  DWORD BaudRate;
  DWORD fBinary : 1;
  DWORD fParity : 1;
  DWORD fOutxCtsFlow : 1;
  DWORD fOutxDsrFlow : 1;
  DWORD fDtrControl : 2;
  DWORD fDsrSensitivity : 1;
  DWORD fTXContinueOnXoff : 1;
  DWORD fOutX : 1;
  DWORD fInX : 1;
  DWORD fErrorChar : 1;
  DWORD fNull : 1;
  DWORD fRtsControl : 2;
  DWORD fAbortOnError : 1;
  DWORD fDummy2 : 17;
  WORD wReserved;
  WORD XonLim;
  WORD XoffLim;
  BYTE ByteSize;
  BYTE Parity;
  BYTE StopBits;
  char XonChar;
  char XoffChar;
  char ErrorChar;
  char EofChar;
  char EvtChar;
  WORD wReserved1;
};
static_assert(sizeof(DCB) == 28);

inline constexpr BYTE NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4;
inline constexpr BYTE ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2;
inline constexpr DWORD DTR_CONTROL_DISABLE = 0, DTR_CONTROL_ENABLE = 1, DTR_CONTROL_HANDSHAKE = 2;
inline constexpr DWORD RTS_CONTROL_DISABLE = 0, RTS_CONTROL_ENABLE = 1, RTS_CONTROL_HANDSHAKE = 2,
                       RTS_CONTROL_TOGGLE = 3;

struct COMMTIMEOUTS {
  DWORD ReadIntervalTimeout;
  DWORD ReadTotalTimeoutMultiplier;
  DWORD ReadTotalTimeoutConstant;
  DWORD WriteTotalTimeoutMultiplier;
  DWORD WriteTotalTimeoutConstant;
};
inline constexpr DWORD MAXDWORD = 0xFFFFFFFF;

struct COMSTAT {
  DWORD fFlags;  // hold states; not reported on this platform
  DWORD cbInQue;
  DWORD cbOutQue;
};

// Events of SetCommMask / WaitCommEvent
inline constexpr DWORD EV_RXCHAR = 0x0001, EV_RXFLAG = 0x0002, EV_TXEMPTY = 0x0004, EV_CTS = 0x0008,
                       EV_DSR = 0x0010, EV_RLSD = 0x0020, EV_BREAK = 0x0040, EV_ERR = 0x0080,
                       EV_RING = 0x0100, EV_PERR = 0x0200, EV_RX80FULL = 0x0400, EV_EVENT1 = 0x0800,
                       EV_EVENT2 = 0x1000;

// Purge flags
inline constexpr DWORD PURGE_TXABORT = 0x1, PURGE_RXABORT = 0x2, PURGE_TXCLEAR = 0x4,
                       PURGE_RXCLEAR = 0x8;

// Line error flags of ClearCommError
inline constexpr DWORD CE_RXOVER = 0x0001, CE_OVERRUN = 0x0002, CE_RXPARITY = 0x0004,
                       CE_FRAME = 0x0008, CE_BREAK = 0x0010, CE_TXFULL = 0x0100, CE_PTO = 0x0200,
                       CE_IOE = 0x0400, CE_DNS = 0x0800, CE_OOP = 0x1000, CE_MODE = 0x8000;

// Modem status bits
inline constexpr DWORD MS_CTS_ON = 0x10, MS_DSR_ON = 0x20, MS_RING_ON = 0x40, MS_RLSD_ON = 0x80;

BOOL SetupComm(HANDLE File, DWORD InQueue, DWORD OutQueue);
BOOL GetCommState(HANDLE File, DCB* Dcb);
BOOL SetCommState(HANDLE File, const DCB* Dcb);
BOOL GetCommTimeouts(HANDLE File, COMMTIMEOUTS* Timeouts);
BOOL SetCommTimeouts(HANDLE File, const COMMTIMEOUTS* Timeouts);
// Changing the mask completes a pending WaitCommEvent with event word 0.
BOOL SetCommMask(HANDLE File, DWORD EventMask);
BOOL GetCommMask(HANDLE File, DWORD* EventMask);
// After the device hung up (an unplugged adapter, a closed pseudo-terminal),
// a pending wait completes with event word 0 and every later call fails
// with ERROR_ACCESS_DENIED.
BOOL WaitCommEvent(HANDLE File, DWORD* EventWord, OVERLAPPED* Overlapped);
BOOL ReadFile(HANDLE File, void* Buffer, DWORD Count, DWORD* Read, OVERLAPPED* Overlapped);
// A write that cannot finish at once keeps its own copy of the bytes.
BOOL WriteFile(HANDLE File, const void* Buffer, DWORD Count, DWORD* Written,
               OVERLAPPED* Overlapped);
BOOL GetOverlappedResult(HANDLE File, OVERLAPPED* Overlapped, DWORD* Transferred, BOOL Wait);
BOOL PurgeComm(HANDLE File, DWORD Flags);
BOOL ClearCommError(HANDLE File, DWORD* Errors, COMSTAT* Stat);
BOOL GetCommModemStatus(HANDLE File, DWORD* ModemStat);
// Our own addition: when the last byte that a read delivered arrived at
// this machine, as the driver thread saw it (never earlier than it arrived).
// FALSE while nothing has been read, with the last error left as it was.
BOOL GetCommArrivalTime(HANDLE File, std::chrono::steady_clock::time_point* Instant);
// The event thread has seen a wait complete: nothing to do here, the
// device's driver thread notes arrivals itself.
inline void NoteCommEvent(HANDLE, DWORD) {}

// Process and thread priority. On Linux a priority class is a nice value
// of the process's main thread; GetPriorityClass may return a value with
// PRIORITY_CLASS_NICE set that carries the exact nice value, so that saving
// and restoring it is exact.
inline constexpr DWORD IDLE_PRIORITY_CLASS = 0x40, NORMAL_PRIORITY_CLASS = 0x20,
                       HIGH_PRIORITY_CLASS = 0x80, REALTIME_PRIORITY_CLASS = 0x100;
inline constexpr DWORD PRIORITY_CLASS_NICE = 0x10000;
HANDLE GetCurrentProcess();
DWORD GetPriorityClass(HANDLE Process);
BOOL SetPriorityClass(HANDLE Process, DWORD PriorityClass);

// Thread priorities -15 (idle) to 15 (time-critical), for a thread id.
inline constexpr int THREAD_PRIORITY_IDLE = -15, THREAD_PRIORITY_TIME_CRITICAL = 15;
using TThreadId = pid_t;
TThreadId GetCurrentThreadId();
BOOL SetThreadPriority(TThreadId Thread, int Priority);

}  // namespace platform
