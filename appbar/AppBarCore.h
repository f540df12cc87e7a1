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
  TAppBarEdge StoredEdge() const { return FState.Edge; }
  TAppBarFlags Flags() const { return FState.Flags; }
  void SetFlags(TAppBarFlags flags) { FState.Flags = flags; }
  bool AutoHide() const { return FState.AutoHide; }
  void SetAutoHide(bool value) { FState.AutoHide = value; }
  bool AlwaysOnTop() const { return FState.AlwaysOnTop; }
  void SetAlwaysOnTop(bool value) { FState.AlwaysOnTop = value; }
  bool SlideEffect() const { return FState.SlideEffect; }
  void SetSlideEffect(bool value) { FState.SlideEffect = value; }
  int SlideTime() const { return FState.SlideTime; }
  // Also the interval of the hide timer.
  void SetSlideTime(int ms);
  int HorzSizeInc() const { return FState.HorzSizeInc; }
  void SetHorzSizeInc(int v) { FState.HorzSizeInc = v; }
  int VertSizeInc() const { return FState.VertSizeInc; }
  void SetVertSizeInc(int v) { FState.VertSizeInc = v; }
  int VertDockSize() const { return FState.VertDockSize; }
  void SetVertDockSize(int v) { FState.VertDockSize = v; }
  int HorzDockSize() const { return FState.HorzDockSize; }
  void SetHorzDockSize(int v) { FState.HorzDockSize = v; }
  int FloatLeft() const { return FState.FloatLeft; }
  void SetFloatLeft(int v) { FState.FloatLeft = v; }
  int FloatTop() const { return FState.FloatTop; }
  void SetFloatTop(int v) { FState.FloatTop = v; }
  int FloatRight() const { return FState.FloatRight; }
  void SetFloatRight(int v) { FState.FloatRight = v; }
  int FloatBottom() const { return FState.FloatBottom; }
  void SetFloatBottom(int v) { FState.FloatBottom = v; }
  int MinWidth() const { return FState.MinWidth; }
  void SetMinWidth(int v) { FState.MinWidth = v; }
  int MinHeight() const { return FState.MinHeight; }
  void SetMinHeight(int v) { FState.MinHeight = v; }
  int MaxWidth() const { return FState.MaxWidth; }
  void SetMaxWidth(int v) { FState.MaxWidth = v; }
  int MaxHeight() const { return FState.MaxHeight; }
  void SetMaxHeight(int v) { FState.MaxHeight = v; }
  int MinVertDockSize() const { return FState.MinVertDockSize; }
  void SetMinVertDockSize(int v) { FState.MinVertDockSize = v; }
  int MinHorzDockSize() const { return FState.MinHorzDockSize; }
  void SetMinHorzDockSize(int v) { FState.MinHorzDockSize = v; }
  int MaxVertDockSize() const { return FState.MaxVertDockSize; }
  void SetMaxVertDockSize(int v) { FState.MaxVertDockSize = v; }
  int MaxHorzDockSize() const { return FState.MaxHorzDockSize; }
  void SetMaxHorzDockSize(int v) { FState.MaxHorzDockSize = v; }
  TAppBarTaskEntry TaskEntry() const { return FState.TaskEntry; }
  void SetTaskEntry(TAppBarTaskEntry v) { FState.TaskEntry = v; }
  // The floating rectangle as one value.
  TRect FloatRect() const;
  void SetFloatRect(const TRect& r);

  TAppBarEdge PendingEdge() const { return FPendingEdge; }
  bool FullScreenAppOpen() const { return FFullScreenAppOpen; }
  bool AutoHideShown() const { return FAutoHideShown; }
  HKEY RootKey() const { return FLocation.RootKey; }
  void SetRootKey(HKEY key) { FLocation.RootKey = key; }
  const std::string& KeyName() const { return FLocation.KeyName; }
  void SetKeyName(std::string name) { FLocation.KeyName = std::move(name); }

  // The whole persistent record (what the settings store reads and writes).
  const TAppBarState& State() const { return FState; }
  void SetState(const TAppBarState& state) { FState = state; }

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
  void SetRegistry(TRegistry* registry) { FRegistry = registry; }
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

  bool HandleCreated() const { return FCreated; }
  TAppBarPlatform& Platform() const { return *FPlatform; }

  // TShellBarClient
  void ShellCallback(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;

 protected:
  std::intptr_t ShellBarMessage(unsigned message, TAppBarEdge edge, TRect* rect, bool copyBack,
                                std::intptr_t lParam);
  // Adds and removes style bits; true when the style changed.
  bool ChangeStyle(unsigned add, unsigned remove);
  TAppBarEdge AutoHideEdgeOf();

 private:
  std::unique_ptr<TAppBarPlatform> FPlatform;
  TDesktopToolbarService& FService;
  TAppBarState FState;
  TAppBarSettingsLocation FLocation;
  TRegistry* FRegistry = nullptr;
  TAppBarEdge FPendingEdge = abeUnknown;
  bool FFullScreenAppOpen = false;
  bool FAutoHideShown = false;
  bool FCreated = false;
  bool FTimerRunning = false;
};

}  // namespace quellion
