#include "appbar/AppBarCore.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "platform/Exception.h"

namespace quellion {

namespace {

// Slides longer than this jump instead: a damaged stored slide time must not block the
// window for hours.
constexpr int MaxAnimatedSlideTime = 5000;

bool IsDockedEdge(TAppBarEdge e) {
  return e == abeLeft || e == abeTop || e == abeRight || e == abeBottom;
}

bool IsSideOrCorner(THitCode c) {
  return c >= HTLEFT && c <= HTBOTTOMRIGHT;
}

// Signed division truncating toward zero, without overflow on 32-bit extremes.
int MulDivTrunc(std::int64_t a, std::int64_t b, std::int64_t c) {
  return int((a * b) / c);
}

}  // namespace

TAppBarCore::TAppBarCore(std::unique_ptr<TAppBarPlatform> platform, TDesktopToolbarService& service)
    : FPlatform(std::move(platform)), FService(service) {
  const int w = FPlatform->ScreenWidth();
  const int h = FPlatform->ScreenHeight();
  FState.MaxWidth = w;
  FState.MaxHeight = h;
  FState.MaxVertDockSize = w / 2;
  FState.MaxHorzDockSize = h / 2;
}

TAppBarCore::~TAppBarCore() {
  // A bar must never stay registered with a dangling handle.
  if (FCreated)
    HandleDestroy();
}

TAppBarEdge TAppBarCore::Edge() const {
  return FPendingEdge != abeUnknown ? FPendingEdge : FState.Edge;
}

void TAppBarCore::SetSlideTime(int ms) {
  FState.SlideTime = ms;
  if (FTimerRunning)
    FPlatform->SetHideTimerInterval(std::max(ms, 1));
}

TRect TAppBarCore::FloatRect() const {
  return {FState.FloatLeft, FState.FloatTop, FState.FloatRight, FState.FloatBottom};
}

void TAppBarCore::SetFloatRect(const TRect& r) {
  FState.FloatLeft = r.Left;
  FState.FloatTop = r.Top;
  FState.FloatRight = r.Right;
  FState.FloatBottom = r.Bottom;
}

std::intptr_t TAppBarCore::ShellBarMessage(unsigned message, TAppBarEdge edge, TRect* rect,
                                           bool copyBack, std::intptr_t lParam) {
  TAppBarData data;
  data.hWnd = this;
  data.uCallbackMessage = AppBarCallbackMessage;
  data.uEdge = edge;
  if (copyBack && rect != nullptr)
    data.rc = *rect;
  data.lParam = lParam;
  const std::intptr_t result = FService.Message(message, data);
  if (copyBack && rect != nullptr)
    *rect = data.rc;
  return result;
}

TAppBarEdge TAppBarCore::AutoHideEdgeOf() {
  for (TAppBarEdge e : {abeLeft, abeTop, abeRight, abeBottom}) {
    const std::intptr_t bar = ShellBarMessage(ABM_GETAUTOHIDEBAR, e, nullptr, false, 0);
    if (bar == reinterpret_cast<std::intptr_t>(static_cast<TShellBarClient*>(this)))
      return e;
  }
  return abeUnknown;
}

void TAppBarCore::SetEdge(TAppBarEdge e) {
  const TAppBarEdge autoHideEdge = AutoHideEdgeOf();
  if (autoHideEdge != abeUnknown) {
    ShellBarMessage(ABM_SETAUTOHIDEBAR, autoHideEdge, nullptr, false, 0);
  }
  FState.Edge = e;

  if (e == abeUnknown) {
    ShellBarMessage(ABM_REMOVE, abeFloat, nullptr, false, 0);
  } else if (e == abeFloat) {
    TRect empty;
    ShellBarMessage(ABM_SETPOS, abeFloat, &empty, false, 0);
    FPlatform->SetBounds(FloatRect());
  } else {
    if (FState.AutoHide && ShellBarMessage(ABM_SETAUTOHIDEBAR, Edge(), nullptr, false, 1) == 0) {
      FState.AutoHide = false;
      AutoHideRefused();
    }
    TRect r;
    QueryDockRect(Edge(), r);
    if (FState.AutoHide) {
      // An auto-hide bar reserves no space; the answer is of no use.
      TRect unused;
      ShellBarMessage(ABM_SETPOS, abeLeft, &unused, true, 0);
    } else {
      ShellBarMessage(ABM_SETPOS, e, &r, true, 0);
    }
    PlaceAutoHidden(FAutoHideShown, r);
    SlideTo(r);
  }

  if (!FState.AlwaysOnTop) {
    FPlatform->SetZOrder(TZOrder::NoTopMost);
  } else if (FFullScreenAppOpen) {
    FPlatform->SetZOrder(TZOrder::Bottom);
  } else {
    FPlatform->SetZOrder(TZOrder::TopMost);
  }
  ShellBarMessage(ABM_ACTIVATE, abeFloat, nullptr, false, 0);
  StyleForEdge(false, e);

  switch (FState.TaskEntry) {
    case abtShow:
      FPlatform->SetTaskbarEntryVisible(true);
      break;
    case abtHide:
      FPlatform->SetTaskbarEntryVisible(false);
      break;
    case abtFloatDependent:
      if (e == abeFloat) {
        FPlatform->SetTaskbarEntryVisible(true);
      } else if (IsDockedEdge(e)) {
        FPlatform->SetTaskbarEntryVisible(false);
      }
      break;
  }
}

void TAppBarCore::QueryDockRect(TAppBarEdge edge, TRect& r) {
  // Not registered has no strip either: the outline stays as dragged.
  if (!IsDockedEdge(edge))
    return;
  r = {0, 0, FPlatform->ScreenWidth(), FPlatform->ScreenHeight()};
  if (!FState.AutoHide)
    ShellBarMessage(ABM_QUERYPOS, edge, &r, true, 0);
  switch (edge) {
    case abeLeft:
      r.Right = r.Left + FState.VertDockSize;
      break;
    case abeTop:
      r.Bottom = r.Top + FState.HorzDockSize;
      break;
    case abeRight:
      r.Left = r.Right - FState.VertDockSize;
      break;
    case abeBottom:
      r.Top = r.Bottom - FState.HorzDockSize;
      break;
    default:
      break;
  }
}

bool TAppBarCore::PlaceAutoHidden(bool shown, TRect& r) const {
  const TAppBarEdge edge = Edge();
  if (!IsDockedEdge(edge) || !FState.AutoHide)
    return false;
  const int sw = FPlatform->ScreenWidth();
  const int sh = FPlatform->ScreenHeight();
  const int bw = FPlatform->BorderWidth();
  const int bh = FPlatform->BorderHeight();
  int left = 0;
  int top = 0;
  switch (edge) {
    case abeLeft:
      left = shown ? 0 : -(r.Width() - 2 * bw);
      break;
    case abeTop:
      top = shown ? 0 : -(r.Height() - 2 * bh);
      break;
    case abeRight:
      left = shown ? sw - r.Width() : sw - 2 * bw;
      break;
    case abeBottom:
      top = shown ? sh - r.Height() : sh - 2 * bh;
      break;
    default:
      break;
  }
  r.MoveTo(left, top);
  return true;
}

void TAppBarCore::ShowAutoHidden(bool shown) {
  TRect r = FPlatform->WindowRect();
  FAutoHideShown = true;
  if (PlaceAutoHidden(shown, r)) {
    FAutoHideShown = shown;
    SlideTo(r);
  }
}

void TAppBarCore::SlideTo(const TRect& r) {
  const TRect s = FPlatform->WindowRect();
  const int slideTime = FState.SlideTime;
  if (FState.SlideEffect && FPlatform->FullWindowDrag() && !(r == s) && slideTime > 0 &&
      slideTime <= MaxAnimatedSlideTime) {
    const std::uint32_t t0 = FPlatform->TickCount();
    const std::uint32_t end = t0 + std::uint32_t(slideTime);
    for (std::uint32_t t = FPlatform->TickCount(); t < end; t = FPlatform->TickCount()) {
      const std::int64_t d = std::int64_t(t - t0);
      const int left = s.Left - MulDivTrunc(d, std::int64_t(s.Left) - r.Left, slideTime);
      const int top = s.Top - MulDivTrunc(d, std::int64_t(s.Top) - r.Top, slideTime);
      const int width = s.Width() - MulDivTrunc(d, std::int64_t(s.Width()) - r.Width(), slideTime);
      const int height =
          s.Height() - MulDivTrunc(d, std::int64_t(s.Height()) - r.Height(), slideTime);
      FPlatform->PlaceWindow({left, top, left + width, top + height}, true);
      FPlatform->RepaintNow();
    }
  }
  FPlatform->SetBounds(r);
}

void TAppBarCore::HideTimerTick() {
  if (FPlatform->IsActiveWindow())
    return;
  const TPoint p = FPlatform->MessageCursorPos();
  TRect r = FPlatform->WindowRect();
  const int dx = 2 * FPlatform->DoubleClickWidth();
  const int dy = 2 * FPlatform->DoubleClickHeight();
  r = {r.Left - dx, r.Top - dy, r.Right + dx, r.Bottom + dy};
  if (!r.Contains(p.X, p.Y))
    ShowAutoHidden(false);
}

void TAppBarCore::StyleForEdge(bool proposed, TAppBarEdge edge) {
  if (proposed && !FPlatform->FullWindowDrag())
    return;
  const unsigned captionStyles = wsCaption | wsSysMenu;
  const bool changed =
      edge == abeFloat ? ChangeStyle(captionStyles, 0) : ChangeStyle(0, captionStyles);
  if (changed)
    FPlatform->RefreshFrame();
}

bool TAppBarCore::ChangeStyle(unsigned add, unsigned remove) {
  const unsigned before = FPlatform->Style();
  const unsigned after = (before | add) & ~remove;
  if (after == before)
    return false;
  FPlatform->SetStyle(after);
  return true;
}

void TAppBarCore::AutoHideRefused() {
  FPlatform->InformationBox("Information",
                            "There is already an auto hidden window on this edge.\n\r"
                            "Only one auto hidden window is allowed on each edge.");
}

void TAppBarCore::FullScreenAppChanged(bool open) {
  FFullScreenAppOpen = open;
  ApplyState();
}

void TAppBarCore::BarPositionsChanged() {
  if (Edge() != abeFloat && !FState.AutoHide)
    ApplyState();
}

void TAppBarCore::WindowArrange(bool /*beginning*/) {}

void TAppBarCore::ApplyState() {
  SetEdge(Edge());
}

TRegistry& TAppBarCore::Registry() const {
  return FRegistry != nullptr ? *FRegistry : TRegistry::CurrentUser();
}

bool TAppBarCore::RestoreSettings() {
  const TRegistryKey* key = Registry().FindKey(FLocation.RootKey, FLocation.KeyName);
  if (key == nullptr)
    return false;
  const TRegValue* value = key->FindValue("");
  if (value == nullptr)
    return false;
  if (value->Type != REG_BINARY && value->Type != REG_NONE) {
    throw EException("Invalid data type for the desktop bar's settings");
  }
  if (value->Data.size() > AppBarStateRecordSize) {
    throw EException("The desktop bar's settings are too long");
  }
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(value->Data.data());
  const std::optional<TAppBarState> state =
      DecodeAppBarState(std::span<const std::uint8_t>(bytes, value->Data.size()));
  if (!state)
    return false;
  FState = *state;
  return true;
}

bool TAppBarCore::StoreSettings() {
  TRegistry& registry = Registry();
  TRegistryKey* key = registry.OpenKey(FLocation.RootKey, FLocation.KeyName, true);
  if (key == nullptr)
    return false;
  const auto bytes = EncodeAppBarState(FState);
  key->WriteBinary("", std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  return registry.Flush();
}

TAppBarEdge TAppBarCore::EdgeAtPoint(TAppBarFlags flags, TPoint point) const {
  // The cursor position arrives packed as two signed 16-bit values.
  const std::int16_t px = std::int16_t(point.X);
  const std::int16_t py = std::int16_t(point.Y);
  const bool mayFloat = flags.Contains(abfAllowFloat);
  if (mayFloat) {
    const bool mayDock = flags.Contains(abfAllowLeft) || flags.Contains(abfAllowTop) ||
                         flags.Contains(abfAllowRight) || flags.Contains(abfAllowBottom);
    TRect inner = FPlatform->WorkArea();
    inner.Left += FPlatform->VScrollWidth();
    inner.Right -= FPlatform->VScrollWidth();
    inner.Top += FPlatform->HScrollHeight();
    inner.Bottom -= FPlatform->HScrollHeight();
    if (inner.Contains(px, py) || !mayDock)
      return abeFloat;
  }
  const int w = FPlatform->ScreenWidth();
  const int h = FPlatform->ScreenHeight();
  const std::int16_t dx = std::int16_t(px - std::int16_t(w / 2));
  const std::int16_t dy = std::int16_t(py - std::int16_t(h / 2));
  TAppBarEdge candidate;
  if (std::int64_t(std::abs(int(dy))) * w <= std::int64_t(std::abs(int(dx))) * h) {
    candidate = dx >= 0 ? abeRight : abeLeft;
  } else {
    candidate = dy >= 0 ? abeBottom : abeTop;
  }
  if (flags.Contains(TAppBarFlag(candidate)))
    return candidate;
  return mayFloat ? abeFloat : FState.Edge;
}

TAppBarEdge TAppBarCore::PendingEdgeAt(TPoint p) const {
  if (FPlatform->CtrlDown() && FState.Flags.Contains(abfAllowFloat))
    return abeFloat;
  return EdgeAtPoint(FState.Flags, p);
}

void TAppBarCore::AdjustCreateStyles(unsigned& style, unsigned& exStyle) {
  style &= ~(wsSysMenu | wsMinimizeBox | wsMaximizeBox);
  exStyle &= ~wsExAppWindow;
  exStyle |= wsExToolWindow;
}

void TAppBarCore::HandleCreate() {
  if (FCreated)
    return;
  FCreated = true;
  FPlatform->StartHideTimer(std::max(FState.SlideTime, 1));
  FTimerRunning = true;
  const TRect w = FPlatform->WindowRect();
  FState.FloatLeft = w.Left;
  FState.FloatTop = w.Top;
  ShellBarMessage(ABM_NEW, abeFloat, nullptr, false, 0);
  ApplyState();
  FPlatform->PostEnterAndExitSizeMove();
}

void TAppBarCore::HandleDestroy() {
  if (!FCreated)
    return;
  FCreated = false;
  FPlatform->StopHideTimer();
  FTimerRunning = false;
  SetEdge(abeUnknown);
}

void TAppBarCore::HandleWindowPosChanged() {
  if (FCreated)
    ShellBarMessage(ABM_WINDOWPOSCHANGED, abeFloat, nullptr, false, 0);
}

void TAppBarCore::HandleActivate(bool active) {
  if (!active)
    ShowAutoHidden(false);
  ShellBarMessage(ABM_ACTIVATE, abeFloat, nullptr, false, 0);
}

void TAppBarCore::HandleNcMouseMove() {
  ShowAutoHidden(true);
}

THitCode TAppBarCore::HandleHitTest(TPoint p, THitCode c) const {
  const TMouseButton primary =
      FPlatform->MouseButtonsSwapped() ? TMouseButton::Right : TMouseButton::Left;
  if (FPlatform->MouseButtonDown(primary) && c == HTCLIENT && !FPlatform->NonWindowedChildAt(p)) {
    c = HTCAPTION;
  }
  if (!IsSideOrCorner(c))
    return c;

  const TAppBarEdge edge = Edge();
  const bool noHorz = FState.HorzSizeInc == 0;
  const bool noVert = FState.VertSizeInc == 0;
  if (edge == abeFloat) {
    switch (c) {
      case HTLEFT:
      case HTRIGHT:
        return noHorz ? HTBORDER : c;
      case HTTOP:
      case HTBOTTOM:
        return noVert ? HTBORDER : c;
      default:
        break;
    }
    if (noHorz && noVert)
      return HTBORDER;
    if (noHorz)
      return (c == HTTOPLEFT || c == HTTOPRIGHT) ? HTTOP : HTBOTTOM;
    if (noVert)
      return (c == HTTOPLEFT || c == HTBOTTOMLEFT) ? HTLEFT : HTRIGHT;
    return c;
  }
  if (!IsDockedEdge(edge))
    return c;
  if (((edge == abeLeft || edge == abeRight) && noHorz) ||
      ((edge == abeTop || edge == abeBottom) && noVert)) {
    return HTBORDER;
  }
  const TRect client = FPlatform->ClientRectOnScreen();
  switch (edge) {
    case abeLeft:
      return p.X >= client.Right ? HTRIGHT : HTBORDER;
    case abeTop:
      return p.Y >= client.Bottom ? HTBOTTOM : HTBORDER;
    case abeRight:
      return p.X < client.Left ? HTLEFT : HTBORDER;
    default:  // abeBottom
      return p.Y < client.Top ? HTTOP : HTBORDER;
  }
}

void TAppBarCore::HandleEnterSizeMove() {
  FPendingEdge = Edge();
}

void TAppBarCore::HandleMoving(TRect& dragged) {
  const TPoint p = FPlatform->MessageCursorPos();
  const TAppBarEdge e = PendingEdgeAt(p);
  if (FPendingEdge != abeFloat && e == abeFloat) {
    const int w = FState.FloatRight - FState.FloatLeft;
    const int h = FState.FloatBottom - FState.FloatTop;
    const int left = p.X - w / 2;
    dragged = {left, p.Y, left + w, p.Y + h};
  }
  FPendingEdge = e;
  QueryDockRect(e, dragged);
  StyleForEdge(true, e);
}

void TAppBarCore::HandleSizing(TSizingSide side, TRect& r) const {
  const bool floating = FState.Edge == abeFloat;
  const std::int64_t mw = floating ? FState.MinWidth : FState.MinVertDockSize;
  const std::int64_t mh = floating ? FState.MinHeight : FState.MinHorzDockSize;
  const std::int64_t hi = FState.HorzSizeInc;
  const std::int64_t vi = FState.VertSizeInc;
  const int w = hi != 0 ? int(mw + hi * ((r.Width() - mw + hi / 2) / hi)) : r.Width();
  const int h = vi != 0 ? int(mh + vi * ((r.Height() - mh + vi / 2) / vi)) : r.Height();
  const auto leftRule = [&] { r.Left = r.Right - w; };
  const auto rightRule = [&] { r.Right = r.Left + w; };
  const auto topRule = [&] { r.Top = r.Bottom - h; };
  const auto bottomRule = [&] { r.Bottom = r.Top + h; };
  switch (side) {
    case TSizingSide::Left:
      leftRule();
      break;
    case TSizingSide::Right:
      rightRule();
      break;
    case TSizingSide::Top:
      topRule();
      break;
    case TSizingSide::Bottom:
      bottomRule();
      break;
    case TSizingSide::TopLeft:
      topRule();
      leftRule();
      break;
    case TSizingSide::TopRight:
      topRule();
      rightRule();
      break;
    case TSizingSide::BottomLeft:
      bottomRule();
      leftRule();
      break;
    case TSizingSide::BottomRight:
      bottomRule();
      rightRule();
      break;
  }
}

void TAppBarCore::HandleExitSizeMove() {
  const TAppBarEdge e = FPendingEdge;
  FPendingEdge = abeUnknown;
  const TRect w = FPlatform->WindowRect();
  if (e == FState.Edge) {
    if (e == abeLeft || e == abeRight)
      FState.VertDockSize = w.Width();
    if (e == abeTop || e == abeBottom)
      FState.HorzDockSize = w.Height();
  }
  if (e == abeFloat) {
    if (FState.Edge == abeFloat) {
      SetFloatRect(w);
    } else {
      const TRect work = FPlatform->WorkArea();
      int width = w.Width();
      int height = w.Height();
      if (width >= work.Width() || height >= work.Height()) {
        width = FState.FloatRight - FState.FloatLeft;
        height = FState.FloatBottom - FState.FloatTop;
      }
      SetFloatRect({w.Left, w.Top, w.Left + width, w.Top + height});
    }
  }
  SetEdge(e);
}

TMinMaxInfo TAppBarCore::HandleGetMinMaxInfo() const {
  const TAppBarEdge edge = Edge();
  if (edge == abeFloat) {
    return {FState.MinWidth, FState.MinHeight, FState.MaxWidth, FState.MaxHeight};
  }
  TMinMaxInfo info{FState.MinVertDockSize, FState.MinHorzDockSize, FPlatform->ScreenWidth(),
                   FPlatform->ScreenHeight()};
  if (edge != abeTop && edge != abeBottom)
    info.MaxTrackWidth = FState.MaxVertDockSize;
  if (edge != abeLeft && edge != abeRight)
    info.MaxTrackHeight = FState.MaxHorzDockSize;
  return info;
}

void TAppBarCore::ShellCallback(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  if (message != AppBarCallbackMessage)
    return;
  switch (wParam) {
    case ABN_POSCHANGED:
      BarPositionsChanged();
      break;
    case ABN_FULLSCREENAPP:
      FullScreenAppChanged(lParam != 0);
      break;
    case ABN_WINDOWARRANGE:
      WindowArrange(lParam != 0);
      break;
    default:
      break;
  }
}

}  // namespace quellion
