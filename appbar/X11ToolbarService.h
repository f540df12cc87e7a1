#pragma once

#include <QAbstractNativeEventFilter>

#include "appbar/EmulatedToolbarService.h"

namespace quellion {

// The desktop-toolbar service on X11: the shell's bookkeeping (positions, auto-hide
// edges, notifications) is kept in process as in the emulation, and each reserved strip
// is published on the bar's window as _NET_WM_STRUT_PARTIAL (+ _NET_WM_STRUT), which the
// window manager subtracts from its work area. No strip, no strut. Bars keep clear of
// other programs' struts and hear when those change or a full-screen window is active.
class TX11ToolbarService : public TEmulatedToolbarService, public QAbstractNativeEventFilter {
 public:
  // Needs the running Qt application; watches the root window's properties.
  explicit TX11ToolbarService(TRect screen);
  ~TX11ToolbarService() override;

  // The desktop's state as the bars must know it: other programs' struts (positions
  // changed) and whether the active window is full screen.
  void CheckDesktop();

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 protected:
  void ReservationChanged(TShellBarClient& bar, TAppBarEdge edge, const TRect& reserved) override;
  TRect PlacementArea() const override;

 private:
  TRect foreignArea_;
  bool fullScreen_ = false;
  bool checkPending_ = false;
};

// The service every TAppBar of this process uses: the X11 one on X11, else the emulation
// (for instance under the offscreen platform). Created on first use.
TEmulatedToolbarService& DefaultToolbarService();

}  // namespace quellion
