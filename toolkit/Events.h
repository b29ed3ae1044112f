#pragma once

// Event handlers as pairs of an object and one of its member functions.
//
// A handler is assigned like a value, called like a function and may be empty.
// Two comparisons exist because components need both: equality of the whole
// pair, and `SameRoutine`, which ignores the object. A component that hooks
// another's handler checks by routine whether its own routine is still in
// place before it puts the saved handler back.

#include <cstddef>
#include <type_traits>
#include <utility>

class TObject {
 public:
  virtual ~TObject() = default;
};

namespace toolkit_detail {
template <typename T>
struct MemberClass;
template <typename C, typename R, typename... A>
struct MemberClass<R (C::*)(A...)> {
  using Type = C;
};
}  // namespace toolkit_detail

template <typename... Args>
class TMethod {
 public:
  using TCode = void (*)(void* Data, Args... args);

  constexpr TMethod() = default;
  constexpr TMethod(std::nullptr_t) {}

  // TMethod<...>::Of<&TClass::Routine>(object)
  template <auto Routine>
  static TMethod Of(typename toolkit_detail::MemberClass<decltype(Routine)>::Type* Object) {
    using TClass = typename toolkit_detail::MemberClass<decltype(Routine)>::Type;
    TMethod m;
    m.FCode = &Thunk<Routine, TClass>;
    m.FData = Object;
    return m;
  }

  explicit operator bool() const { return FCode != nullptr; }
  void operator()(Args... args) const { FCode(FData, std::forward<Args>(args)...); }

  // Same member function, whatever the object.
  bool SameRoutine(const TMethod& Other) const { return FCode == Other.FCode; }
  friend bool operator==(const TMethod& A, const TMethod& B) {
    return A.FCode == B.FCode && A.FData == B.FData;
  }

  void* Data() const { return FData; }

 private:
  template <auto Routine, typename TClass>
  static void Thunk(void* Data, Args... args) {
    (static_cast<TClass*>(Data)->*Routine)(std::forward<Args>(args)...);
  }

  TCode FCode = nullptr;
  void* FData = nullptr;
};

using TNotifyEvent = TMethod<TObject*>;
