#pragma once

// The operating system's serial communication services, in the shape of the
// Win32 communications functions that the serial port component is written
// against (namespace platform): on Windows the system's own
// (serial/platform/windows/), on Linux a mirror of them on termios and epoll
// (serial/platform/linux/).

#if defined(_WIN32)
#include "serial/platform/windows/CommServices.h"
#else
#include "serial/platform/linux/CommServices.h"
#endif
