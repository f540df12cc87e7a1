#pragma once

#include <cstdint>

#include "appbar/AppBarTypes.h"

namespace quellion {

// Messages of the shell's desktop-toolbar interface.
inline constexpr unsigned ABM_NEW = 0x00;
inline constexpr unsigned ABM_REMOVE = 0x01;
inline constexpr unsigned ABM_QUERYPOS = 0x02;
inline constexpr unsigned ABM_SETPOS = 0x03;
inline constexpr unsigned ABM_ACTIVATE = 0x06;
inline constexpr unsigned ABM_GETAUTOHIDEBAR = 0x07;
inline constexpr unsigned ABM_SETAUTOHIDEBAR = 0x08;
inline constexpr unsigned ABM_WINDOWPOSCHANGED = 0x09;

// Notification codes the shell sends to a bar's callback message (first parameter).
inline constexpr unsigned ABN_STATECHANGE = 0;
inline constexpr unsigned ABN_POSCHANGED = 1;
inline constexpr unsigned ABN_FULLSCREENAPP = 2;
inline constexpr unsigned ABN_WINDOWARRANGE = 3;

// A registered bar as the shell sees it: the window handle's stand-in.
class TShellBarClient {
 public:
  virtual ~TShellBarClient() = default;
  // The shell's notification, delivered as the bar's callback message.
  virtual void ShellCallback(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
  // The native window (X11 window id) when there is one, else 0.
  virtual std::uintptr_t NativeWindowId() const { return 0; }
};

// The shell's APPBARDATA record.
struct TAppBarData {
  std::uint32_t cbSize = 36;
  TShellBarClient* hWnd = nullptr;
  std::uint32_t uCallbackMessage = 0;
  std::uint32_t uEdge = 0;
  TRect rc;
  std::intptr_t lParam = 0;
};

// The shell's desktop-toolbar call. ABM_QUERYPOS and ABM_SETPOS may change data.rc;
// ABM_GETAUTOHIDEBAR answers the bar (as an integer) or 0; ABM_SETAUTOHIDEBAR answers 1
// when the registration (lParam 1) or unregistration (lParam 0) succeeded.
class TDesktopToolbarService {
 public:
  virtual ~TDesktopToolbarService() = default;
  virtual std::intptr_t Message(unsigned message, TAppBarData& data) = 0;
};

}  // namespace quellion
