#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "appbar/AppBarPlatform.h"
#include "appbar/AppBarState.h"
#include "appbar/DesktopToolbarService.h"
#include "settings/Registry.h"

namespace quellion {

// Hit-test codes of the window frame.
enum THitCode {
  HTBORDER = 18,
  HTBOTTOM = 15,
  HTBOTTOMLEFT = 16,
  HTBOTTOMRIGHT = 17,
  HTCAPTION = 2,
  HTCLIENT = 1,
  HTCLOSE = 20,
  HTLEFT = 10,
  HTNOWHERE = 0,
  HTRIGHT = 11,
  HTTOP = 12,
  HTTOPLEFT = 13,
  HTTOPRIGHT = 14,
};

// The side or corner dragged while sizing.
enum class TSizingSide { Left, Right, Top, TopLeft, TopRight, Bottom, BottomLeft, BottomRight };

struct TMinMaxInfo {
  int MinTrackWidth = 0;
  int MinTrackHeight = 0;
  int MaxTrackWidth = 0;
  int MaxTrackHeight = 0;
};

// The registry location of the bar's settings.
struct TAppBarSettingsLocation {
  HKEY RootKey = HKEY_CURRENT_USER;
  std::string KeyName = kQuellionKeyName;
};

// The callback message the shell uses for a bar (the first user message plus 100).
inline constexpr unsigned AppBarCallbackMessage = 0x0400 + 100;

// The desktop bar's logic without any GUI toolkit: docking at a screen edge, floating,
// auto-hide, always-on-top, and the rules applied while the user moves or sizes the bar.
// It talks to the shell through a TDesktopToolbarService and to its window, the screen
// and the input devices through a TAppBarPlatform. The Handle... operations are the
// window messages the window implementation forwards. GUI thread only.
class TAppBarCore : public TShellBarClient {
 public:
  // The service must outlive the bar.
  TAppBarCore(std::unique_ptr<TAppBarPlatform> platform, TDesktopToolbarService& service);
  ~TAppBarCore() override;
  TAppBarCore(const TAppBarCore&) = delete;
  TAppBarCore& operator=(const TAppBarCore&) = delete;

  // --- Properties ---
  // PendingEdge while the user drags, else the stored edge.
  TAppBarEdge Edge() const;
  // The edge change: (un)registers, reserves space, places, orders and styles the window.
  void SetEdge(TAppBarEdge edge);
  TAppBarEdge StoredEdge() const { return state_.Edge; }
  TAppBarFlags Flags() const { return state_.Flags; }
  void SetFlags(TAppBarFlags flags) { state_.Flags = flags; }
  bool AutoHide() const { return state_.AutoHide; }
  void SetAutoHide(bool value) { state_.AutoHide = value; }
  bool AlwaysOnTop() const { return state_.AlwaysOnTop; }
  void SetAlwaysOnTop(bool value) { state_.AlwaysOnTop = value; }
  bool SlideEffect() const { return state_.SlideEffect; }
  void SetSlideEffect(bool value) { state_.SlideEffect = value; }
  int SlideTime() const { return state_.SlideTime; }
  // Also the interval of the hide timer.
  void SetSlideTime(int ms);
  int HorzSizeInc() const { return state_.HorzSizeInc; }
  void SetHorzSizeInc(int v) { state_.HorzSizeInc = v; }
  int VertSizeInc() const { return state_.VertSizeInc; }
  void SetVertSizeInc(int v) { state_.VertSizeInc = v; }
  int VertDockSize() const { return state_.VertDockSize; }
  void SetVertDockSize(int v) { state_.VertDockSize = v; }
  int HorzDockSize() const { return state_.HorzDockSize; }
  void SetHorzDockSize(int v) { state_.HorzDockSize = v; }
  int FloatLeft() const { return state_.FloatLeft; }
  void SetFloatLeft(int v) { state_.FloatLeft = v; }
  int FloatTop() const { return state_.FloatTop; }
  void SetFloatTop(int v) { state_.FloatTop = v; }
  int FloatRight() const { return state_.FloatRight; }
  void SetFloatRight(int v) { state_.FloatRight = v; }
  int FloatBottom() const { return state_.FloatBottom; }
  void SetFloatBottom(int v) { state_.FloatBottom = v; }
  int MinWidth() const { return state_.MinWidth; }
  void SetMinWidth(int v) { state_.MinWidth = v; }
  int MinHeight() const { return state_.MinHeight; }
  void SetMinHeight(int v) { state_.MinHeight = v; }
  int MaxWidth() const { return state_.MaxWidth; }
  void SetMaxWidth(int v) { state_.MaxWidth = v; }
  int MaxHeight() const { return state_.MaxHeight; }
  void SetMaxHeight(int v) { state_.MaxHeight = v; }
  int MinVertDockSize() const { return state_.MinVertDockSize; }
  void SetMinVertDockSize(int v) { state_.MinVertDockSize = v; }
  int MinHorzDockSize() const { return state_.MinHorzDockSize; }
  void SetMinHorzDockSize(int v) { state_.MinHorzDockSize = v; }
  int MaxVertDockSize() const { return state_.MaxVertDockSize; }
  void SetMaxVertDockSize(int v) { state_.MaxVertDockSize = v; }
  int MaxHorzDockSize() const { return state_.MaxHorzDockSize; }
  void SetMaxHorzDockSize(int v) { state_.MaxHorzDockSize = v; }
  TAppBarTaskEntry TaskEntry() const { return state_.TaskEntry; }
  void SetTaskEntry(TAppBarTaskEntry v) { state_.TaskEntry = v; }
  // The floating rectangle as one value.
  TRect FloatRect() const;
  void SetFloatRect(const TRect& r);

  TAppBarEdge PendingEdge() const { return pendingEdge_; }
  bool FullScreenAppOpen() const { return fullScreenAppOpen_; }
  bool AutoHideShown() const { return autoHideShown_; }
  HKEY RootKey() const { return location_.RootKey; }
  void SetRootKey(HKEY key) { location_.RootKey = key; }
  const std::string& KeyName() const { return location_.KeyName; }
  void SetKeyName(std::string name) { location_.KeyName = std::move(name); }

  // The whole persistent record (what the settings store reads and writes).
  const TAppBarState& State() const { return state_; }
  void SetState(const TAppBarState& state) { state_ = state; }

  // --- Virtual operations, in their design order ---
  virtual void StyleForEdge(bool proposed, TAppBarEdge edge);
  virtual void AutoHideRefused();
  virtual void FullScreenAppChanged(bool open);
  virtual void BarPositionsChanged();
  virtual void WindowArrange(bool beginning);
  // Writes Edge with the value read from it.
  virtual void ApplyState();
  // Reads the record from the default value of KeyName under RootKey (the key is not
  // created); true when it was loaded. A shorter value, or none, leaves the state as it
  // is; a value of another type than binary (or untyped), or longer than the record,
  // raises EException.
  virtual bool RestoreSettings();
  // Writes the record as the key's default value (binary), creating the key, and flushes
  // the store; true when it was written.
  virtual bool StoreSettings();
  // The store the settings operations use; the process's per-user store when null.
  void SetRegistry(TRegistry* registry) { registry_ = registry; }
  TRegistry& Registry() const;

  // --- Geometry ---
  void QueryDockRect(TAppBarEdge edge, TRect& r);
  bool PlaceAutoHidden(bool shown, TRect& r) const;
  void ShowAutoHidden(bool shown);
  void SlideTo(const TRect& r);
  void HideTimerTick();
  TAppBarEdge EdgeAtPoint(TAppBarFlags flags, TPoint p) const;
  TAppBarEdge PendingEdgeAt(TPoint p) const;

  // --- Window messages ---
  void HandleCreate();
  void HandleDestroy();
  void HandleWindowPosChanged();
  void HandleActivate(bool active);
  void HandleNcMouseMove();
  THitCode HandleHitTest(TPoint screenPoint, THitCode frameworkAnswer) const;
  void HandleEnterSizeMove();
  void HandleMoving(TRect& dragged);
  void HandleSizing(TSizingSide side, TRect& r) const;
  void HandleExitSizeMove();
  TMinMaxInfo HandleGetMinMaxInfo() const;
  // The creation parameters' styles: no system menu or min/max boxes, a tool window.
  static void AdjustCreateStyles(unsigned& style, unsigned& exStyle);

  bool HandleCreated() const { return created_; }
  TAppBarPlatform& Platform() const { return *platform_; }

  // TShellBarClient
  void ShellCallback(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;

 protected:
  std::intptr_t ShellBarMessage(unsigned message, TAppBarEdge edge, TRect* rect, bool copyBack,
                                std::intptr_t lParam);
  // Adds and removes style bits; true when the style changed.
  bool ChangeStyle(unsigned add, unsigned remove);
  TAppBarEdge AutoHideEdgeOf();

 private:
  std::unique_ptr<TAppBarPlatform> platform_;
  TDesktopToolbarService& service_;
  TAppBarState state_;
  TAppBarSettingsLocation location_;
  TRegistry* registry_ = nullptr;
  TAppBarEdge pendingEdge_ = abeUnknown;
  bool fullScreenAppOpen_ = false;
  bool autoHideShown_ = false;
  bool created_ = false;
  bool timerRunning_ = false;
};

}  // namespace quellion
