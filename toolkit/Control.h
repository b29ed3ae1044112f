#pragma once

// A visual control as the non-visual components see it: something whose
// background colour can be set.

#include <cstdint>

#include "toolkit/Component.h"

// 0x00BBGGRR, or one of the system's colours below (high byte set), which
// each windowing backend resolves.
using TColor = std::uint32_t;
inline constexpr TColor clDefault = 0xFF000000;          // the control's own colour
inline constexpr TColor clInactiveCaption = 0x80000003;  // an inactive title bar
inline constexpr bool IsSystemColor(TColor C) {
  return (C & 0xFF000000) != 0;
}
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clAqua = 0xFFFF00;  // red 0, green 255, blue 255

inline constexpr std::uint8_t RedOf(TColor C) {
  return C & 0xFF;
}
inline constexpr std::uint8_t GreenOf(TColor C) {
  return (C >> 8) & 0xFF;
}
inline constexpr std::uint8_t BlueOf(TColor C) {
  return (C >> 16) & 0xFF;
}

class TControl : public TComponent {
 public:
  using TComponent::TComponent;
  virtual TColor Color() const = 0;
  virtual void SetColor(TColor Value) = 0;
};
