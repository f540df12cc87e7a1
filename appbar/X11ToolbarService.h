#pragma once

#include "appbar/EmulatedToolbarService.h"

namespace quellion {

// The desktop-toolbar service on X11: the shell's bookkeeping (positions, auto-hide
// edges, notifications) is kept in process as in the emulation, and each reserved strip
// is published on the bar's window as _NET_WM_STRUT_PARTIAL (+ _NET_WM_STRUT), which the
// window manager subtracts from its work area. No strip, no strut.
class TX11ToolbarService : public TEmulatedToolbarService {
 public:
  using TEmulatedToolbarService::TEmulatedToolbarService;

 protected:
  void ReservationChanged(TShellBarClient& bar, TAppBarEdge edge, const TRect& reserved) override;
};

// The service every TAppBar of this process uses: the X11 one on X11, else the emulation
// (for instance under the offscreen platform). Created on first use.
TEmulatedToolbarService& DefaultToolbarService();

}  // namespace quellion
