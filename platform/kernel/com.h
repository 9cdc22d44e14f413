// Component-object basics: HRESULT codes, the reference-counted IUnknown and interface ids.
// Shared by the shell's folders and UI objects and by drag and drop.
#pragma once

#include <cstdint>

#include "platform/kernel/kernel.h"

namespace win {

using HRESULT = LONG;
using ULONG = std::uint32_t;
using USHORT = std::uint16_t;
using LPARAM = std::intptr_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = HRESULT(0x80004001u);
constexpr HRESULT E_NOINTERFACE = HRESULT(0x80004002u);
constexpr HRESULT E_POINTER = HRESULT(0x80004003u);
constexpr HRESULT E_FAIL = HRESULT(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = HRESULT(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = HRESULT(0x80070057u);

constexpr bool SUCCEEDED(HRESULT hr) {
  return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
  return hr < 0;
}
constexpr HRESULT MAKE_HRESULT(DWORD severity, DWORD facility, DWORD code) {
  return HRESULT((severity << 31) | (facility << 16) | (code & 0xFFFF));
}
// Win32 error numbers in the FACILITY_WIN32 form; 0 stays S_OK.
constexpr HRESULT HRESULT_FROM_WIN32(DWORD code) {
  return code == 0 ? S_OK : HRESULT((code & 0xFFFF) | 0x80070000u);
}
constexpr DWORD HRESULT_CODE(HRESULT hr) {
  return DWORD(hr) & 0xFFFF;
}

struct IUnknown {
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

// Interface ids (the first 32 bits of Windows' GUIDs, enough to tell ours apart).
struct IID {
  DWORD value;
  bool operator==(const IID&) const = default;
};

}  // namespace win
