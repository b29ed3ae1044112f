#pragma once

// Event objects: manual-reset (stays signalled until reset) or auto-reset
// (one successful wait consumes the signal).

#include <condition_variable>
#include <mutex>

#include "serial/platform/linux/CommServices.h"

namespace platform {

class TEventObject : public TKernelObject {
 public:
  TEventObject(bool ManualReset, bool InitialState)
      : FManualReset(ManualReset), FSignalled(InitialState) {}
  void Set();
  void Reset();
  // True when signalled within Milliseconds (INFINITE: no limit).
  bool Wait(DWORD Milliseconds);

 private:
  const bool FManualReset;
  std::mutex FMutex;
  std::condition_variable FChanged;
  bool FSignalled;
};

}  // namespace platform
