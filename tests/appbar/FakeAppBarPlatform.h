#pragma once

#include <functional>
#include <string>
#include <vector>

#include "appbar/AppBarPlatform.h"
#include "appbar/EmulatedToolbarService.h"

namespace quellion::test {

// A screen, a mouse, a keyboard and a window in memory. The tick count advances by
// TickStep on every read, so an animation runs to its end without sleeping.
class TFakeAppBarPlatform : public TAppBarPlatform {
 public:
  // The work area comes from the service's reservations unless FixedWorkArea is set.
  explicit TFakeAppBarPlatform(const TEmulatedToolbarService* service = nullptr)
      : Service(service) {}

  int ScreenWidth() const override { return ScreenW; }
  int ScreenHeight() const override { return ScreenH; }
  int BorderWidth() const override { return BorderW; }
  int BorderHeight() const override { return BorderH; }
  int DoubleClickWidth() const override { return 4; }
  int DoubleClickHeight() const override { return 4; }
  int VScrollWidth() const override { return 16; }
  int HScrollHeight() const override { return 16; }
  bool MouseButtonsSwapped() const override { return Swapped; }
  TRect WorkArea() const override {
    if (FixedWorkArea)
      return *FixedWorkArea;
    return Service != nullptr ? Service->WorkArea() : TRect{0, 0, ScreenW, ScreenH};
  }
  bool FullWindowDrag() const override { return FullDrag; }
  bool CtrlDown() const override { return Ctrl; }
  bool MouseButtonDown(TMouseButton b) const override {
    return b == TMouseButton::Left ? LeftDown : RightDown;
  }
  TPoint MessageCursorPos() const override { return Cursor; }
  std::uint32_t TickCount() const override {
    const std::uint32_t t = Tick;
    Tick += TickStep;
    return t;
  }
  TRect WindowRect() const override { return Window; }
  TRect ClientRectOnScreen() const override {
    return {Window.Left + Frame, Window.Top + Frame, Window.Right - Frame, Window.Bottom - Frame};
  }
  bool NonWindowedChildAt(TPoint p) const override { return ChildAt && ChildAt(p); }
  void SetBounds(const TRect& r) override {
    Window = r;
    ++SetBoundsCalls;
  }
  void PlaceWindow(const TRect& r, bool) override {
    Window = r;
    Placements.push_back(r);
  }
  void SetZOrder(TZOrder order) override { ZOrders.push_back(order); }
  void RepaintNow() override { ++Repaints; }
  unsigned Style() const override { return StyleBits; }
  void SetStyle(unsigned s) override { StyleBits = s; }
  unsigned ExStyle() const override { return ExStyleBits; }
  void SetExStyle(unsigned s) override { ExStyleBits = s; }
  void RefreshFrame() override { ++FrameRefreshes; }
  bool IsActiveWindow() const override { return Active; }
  void StartHideTimer(int ms) override {
    TimerRunning = true;
    TimerInterval = ms;
  }
  void SetHideTimerInterval(int ms) override { TimerInterval = ms; }
  void StopHideTimer() override { TimerRunning = false; }
  void PostEnterAndExitSizeMove() override { ++PostedSizeMoves; }
  void SetTaskbarEntryVisible(bool visible) override { TaskbarEntry = visible; }
  void InformationBox(const std::string& caption, const std::string& text) override {
    Messages.push_back(caption + "|" + text);
  }

  const TEmulatedToolbarService* Service;
  int ScreenW = 1024;
  int ScreenH = 768;
  int BorderW = 1;
  int BorderH = 1;
  int Frame = 3;
  std::optional<TRect> FixedWorkArea;
  bool FullDrag = true;
  bool Swapped = false;
  bool Ctrl = false;
  bool LeftDown = false;
  bool RightDown = false;
  TPoint Cursor;
  mutable std::uint32_t Tick = 1000;
  std::uint32_t TickStep = 50;
  TRect Window{100, 100, 400, 500};
  std::function<bool(TPoint)> ChildAt;
  int SetBoundsCalls = 0;
  std::vector<TRect> Placements;
  std::vector<TZOrder> ZOrders;
  int Repaints = 0;
  unsigned StyleBits = wsCaption | wsSysMenu;
  unsigned ExStyleBits = 0;
  int FrameRefreshes = 0;
  bool Active = false;
  bool TimerRunning = false;
  int TimerInterval = 0;
  int PostedSizeMoves = 0;
  std::optional<bool> TaskbarEntry;
  std::vector<std::string> Messages;
};

}  // namespace quellion::test
