#pragma once

#include <cstdint>
#include <string>

#include "appbar/AppBarTypes.h"

namespace quellion {

// Window style bits the bar reads and writes.
inline constexpr unsigned wsCaption = 0x1;
inline constexpr unsigned wsSysMenu = 0x2;
inline constexpr unsigned wsMinimizeBox = 0x4;
inline constexpr unsigned wsMaximizeBox = 0x8;
inline constexpr unsigned wsExToolWindow = 0x1;
inline constexpr unsigned wsExAppWindow = 0x2;

enum class TZOrder { TopMost, Bottom, NoTopMost };

enum class TMouseButton { Left, Right };

// Screen metrics, input state and the bar's own window, as the bar's logic needs them.
// One instance per bar window; everything is called on the GUI thread.
class TAppBarPlatform {
 public:
  virtual ~TAppBarPlatform() = default;

  virtual int ScreenWidth() const = 0;
  virtual int ScreenHeight() const = 0;
  virtual int BorderWidth() const = 0;
  virtual int BorderHeight() const = 0;
  virtual int DoubleClickWidth() const = 0;
  virtual int DoubleClickHeight() const = 0;
  virtual int VScrollWidth() const = 0;
  virtual int HScrollHeight() const = 0;
  virtual bool MouseButtonsSwapped() const = 0;
  // The desktop without the space reserved by toolbars.
  virtual TRect WorkArea() const = 0;
  // Whether windows are shown whole while being dragged.
  virtual bool FullWindowDrag() const = 0;

  virtual bool CtrlDown() const = 0;
  virtual bool MouseButtonDown(TMouseButton button) const = 0;
  // The cursor position recorded with the message being handled.
  virtual TPoint MessageCursorPos() const = 0;
  virtual std::uint32_t TickCount() const = 0;

  // The bar's window.
  virtual TRect WindowRect() const = 0;
  // The client area in screen coordinates.
  virtual TRect ClientRectOnScreen() const = 0;
  // Whether a child without its own window (an image, a label) lies under a screen point.
  virtual bool NonWindowedChildAt(TPoint screenPoint) const = 0;
  // The framework's bounds setter.
  virtual void SetBounds(const TRect& r) = 0;
  // Placing without z-order change or activation, optionally refreshing the frame.
  virtual void PlaceWindow(const TRect& r, bool frameChanged) = 0;
  virtual void SetZOrder(TZOrder order) = 0;
  virtual void RepaintNow() = 0;
  virtual unsigned Style() const = 0;
  virtual void SetStyle(unsigned style) = 0;
  virtual unsigned ExStyle() const = 0;
  virtual void SetExStyle(unsigned exStyle) = 0;
  // Re-lays the frame after a style change (no move, size, z-order change or activation).
  virtual void RefreshFrame() = 0;
  virtual bool IsActiveWindow() const = 0;

  // The periodic timer that drives the bar's auto-hide check.
  virtual void StartHideTimer(int intervalMs) = 0;
  virtual void SetHideTimerInterval(int intervalMs) = 0;
  virtual void StopHideTimer() = 0;
  // Delivers the end of a (pretend) move once the message loop runs.
  virtual void PostEnterAndExitSizeMove() = 0;

  virtual void SetTaskbarEntryVisible(bool visible) = 0;
  virtual void InformationBox(const std::string& caption, const std::string& text) = 0;
};

}  // namespace quellion
