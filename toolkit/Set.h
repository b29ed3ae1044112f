#pragma once

// A set of values of a small enumeration (at most 32 values).

#include <cstdint>
#include <initializer_list>

template <typename E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> Values) {
    for (E v : Values) Include(v);
  }
  constexpr bool Contains(E Value) const { return FBits & Bit(Value); }
  constexpr void Include(E Value) { FBits |= Bit(Value); }
  constexpr void Exclude(E Value) { FBits &= ~Bit(Value); }
  constexpr bool Empty() const { return FBits == 0; }
  constexpr friend bool operator==(TSet A, TSet B) { return A.FBits == B.FBits; }

 private:
  static constexpr std::uint32_t Bit(E Value) {
    return std::uint32_t{1} << static_cast<unsigned>(Value);
  }
  std::uint32_t FBits = 0;
};
