#pragma once

// Lines behind network servers as handles of the comm functions on Windows:
// each is known by a kernel object of its own (an event nobody waits on), so
// that its handle can never be taken for one of the system's.

#include "serial/platform/CommDevice.h"

namespace platform {

// The line that Handle stands for; nullptr for a handle of the system's.
TCommDevice* NetworkLineOf(HANDLE Handle);

}  // namespace platform
