#pragma once

// A TCP connection for a line behind a network server (network/NetworkLine.h),
// one per system: POSIX sockets (serial/platform/linux/), Winsock
// (serial/platform/windows/). Each gives its error numbers for the cases a
// technician is told about.

#if defined(_WIN32)
#include "serial/platform/windows/Socket.h"
#else
#include "serial/platform/linux/Socket.h"
#endif
