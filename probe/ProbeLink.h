#pragma once

// What the protocol engine needs of the serial line.

#include <chrono>
#include <string>

class IProbeLink {
 public:
  virtual ~IProbeLink() = default;
  // Discards received bytes not yet read; nothing on a closed line.
  virtual void PurgeInput() = 0;
  // Starts sending; returns without waiting for the transmission.
  virtual void WriteString(const std::string& Bytes) = 0;
  // Received bytes waiting to be read.
  virtual int InputCount() = 0;
  // One received byte (waits until it has been read).
  virtual char ReadChar() = 0;
  // How long ago the last byte that ReadChar returned arrived: never more
  // than it is (the pause before the next request counts from there); a
  // line that cannot tell says 0.
  virtual std::chrono::microseconds LastByteAge() { return {}; }
};
