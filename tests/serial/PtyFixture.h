#pragma once

// The far end of a serial line for the tests: TPty. On Linux a
// pseudo-terminal pair; under Wine two COM ports that a Linux relay joins.

#if defined(_WIN32)
#include "tests/serial/windows/Pty.h"
#else
#include "tests/serial/linux/Pty.h"
#endif
