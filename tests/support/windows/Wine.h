#pragma once

// Whether a Windows test program runs under Wine, for the few checks that
// only a real Windows machine can pass.

#include <windows.h>

inline bool UnderWine() {
  return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}
