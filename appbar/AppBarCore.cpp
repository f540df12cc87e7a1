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
    : platform_(std::move(platform)), service_(service) {
  const int w = platform_->ScreenWidth();
  const int h = platform_->ScreenHeight();
  state_.MaxWidth = w;
  state_.MaxHeight = h;
  state_.MaxVertDockSize = w / 2;
  state_.MaxHorzDockSize = h / 2;
}

TAppBarCore::~TAppBarCore() {
  // A bar must never stay registered with a dangling handle.
  if (created_)
    HandleDestroy();
}

TAppBarEdge TAppBarCore::Edge() const {
  return pendingEdge_ != abeUnknown ? pendingEdge_ : state_.Edge;
}

void TAppBarCore::SetSlideTime(int ms) {
  state_.SlideTime = ms;
  if (timerRunning_)
    platform_->SetHideTimerInterval(std::max(ms, 1));
}

TRect TAppBarCore::FloatRect() const {
  return {state_.FloatLeft, state_.FloatTop, state_.FloatRight, state_.FloatBottom};
}

void TAppBarCore::SetFloatRect(const TRect& r) {
  state_.FloatLeft = r.Left;
  state_.FloatTop = r.Top;
  state_.FloatRight = r.Right;
  state_.FloatBottom = r.Bottom;
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
  const std::intptr_t result = service_.Message(message, data);
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
  state_.Edge = e;

  if (e == abeUnknown) {
    ShellBarMessage(ABM_REMOVE, abeFloat, nullptr, false, 0);
  } else if (e == abeFloat) {
    TRect empty;
    ShellBarMessage(ABM_SETPOS, abeFloat, &empty, false, 0);
    platform_->SetBounds(FloatRect());
  } else {
    if (state_.AutoHide && ShellBarMessage(ABM_SETAUTOHIDEBAR, Edge(), nullptr, false, 1) == 0) {
      state_.AutoHide = false;
      AutoHideRefused();
    }
    TRect r;
    QueryDockRect(Edge(), r);
    if (state_.AutoHide) {
      // An auto-hide bar reserves no space; the answer is of no use.
      TRect unused;
      ShellBarMessage(ABM_SETPOS, abeLeft, &unused, true, 0);
    } else {
      ShellBarMessage(ABM_SETPOS, e, &r, true, 0);
    }
    PlaceAutoHidden(autoHideShown_, r);
    SlideTo(r);
  }

  if (!state_.AlwaysOnTop) {
    platform_->SetZOrder(TZOrder::NoTopMost);
  } else if (fullScreenAppOpen_) {
    platform_->SetZOrder(TZOrder::Bottom);
  } else {
    platform_->SetZOrder(TZOrder::TopMost);
  }
  ShellBarMessage(ABM_ACTIVATE, abeFloat, nullptr, false, 0);
  StyleForEdge(false, e);

  switch (state_.TaskEntry) {
    case abtShow:
      platform_->SetTaskbarEntryVisible(true);
      break;
    case abtHide:
      platform_->SetTaskbarEntryVisible(false);
      break;
    case abtFloatDependent:
      if (e == abeFloat) {
        platform_->SetTaskbarEntryVisible(true);
      } else if (IsDockedEdge(e)) {
        platform_->SetTaskbarEntryVisible(false);
      }
      break;
  }
}

void TAppBarCore::QueryDockRect(TAppBarEdge edge, TRect& r) {
  // Not registered has no strip either: the outline stays as dragged.
  if (!IsDockedEdge(edge))
    return;
  r = {0, 0, platform_->ScreenWidth(), platform_->ScreenHeight()};
  if (!state_.AutoHide)
    ShellBarMessage(ABM_QUERYPOS, edge, &r, true, 0);
  switch (edge) {
    case abeLeft:
      r.Right = r.Left + state_.VertDockSize;
      break;
    case abeTop:
      r.Bottom = r.Top + state_.HorzDockSize;
      break;
    case abeRight:
      r.Left = r.Right - state_.VertDockSize;
      break;
    case abeBottom:
      r.Top = r.Bottom - state_.HorzDockSize;
      break;
    default:
      break;
  }
}

bool TAppBarCore::PlaceAutoHidden(bool shown, TRect& r) const {
  const TAppBarEdge edge = Edge();
  if (!IsDockedEdge(edge) || !state_.AutoHide)
    return false;
  const int sw = platform_->ScreenWidth();
  const int sh = platform_->ScreenHeight();
  const int bw = platform_->BorderWidth();
  const int bh = platform_->BorderHeight();
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
  TRect r = platform_->WindowRect();
  autoHideShown_ = true;
  if (PlaceAutoHidden(shown, r)) {
    autoHideShown_ = shown;
    SlideTo(r);
  }
}

void TAppBarCore::SlideTo(const TRect& r) {
  const TRect s = platform_->WindowRect();
  const int slideTime = state_.SlideTime;
  if (state_.SlideEffect && platform_->FullWindowDrag() && !(r == s) && slideTime > 0 &&
      slideTime <= MaxAnimatedSlideTime) {
    const std::uint32_t t0 = platform_->TickCount();
    const std::uint32_t end = t0 + std::uint32_t(slideTime);
    for (std::uint32_t t = platform_->TickCount(); t < end; t = platform_->TickCount()) {
      const std::int64_t d = std::int64_t(t - t0);
      const int left = s.Left - MulDivTrunc(d, std::int64_t(s.Left) - r.Left, slideTime);
      const int top = s.Top - MulDivTrunc(d, std::int64_t(s.Top) - r.Top, slideTime);
      const int width = s.Width() - MulDivTrunc(d, std::int64_t(s.Width()) - r.Width(), slideTime);
      const int height =
          s.Height() - MulDivTrunc(d, std::int64_t(s.Height()) - r.Height(), slideTime);
      platform_->PlaceWindow({left, top, left + width, top + height}, true);
      platform_->RepaintNow();
    }
  }
  platform_->SetBounds(r);
}

void TAppBarCore::HideTimerTick() {
  if (platform_->IsActiveWindow())
    return;
  const TPoint p = platform_->MessageCursorPos();
  TRect r = platform_->WindowRect();
  const int dx = 2 * platform_->DoubleClickWidth();
  const int dy = 2 * platform_->DoubleClickHeight();
  r = {r.Left - dx, r.Top - dy, r.Right + dx, r.Bottom + dy};
  if (!r.Contains(p.X, p.Y))
    ShowAutoHidden(false);
}

void TAppBarCore::StyleForEdge(bool proposed, TAppBarEdge edge) {
  if (proposed && !platform_->FullWindowDrag())
    return;
  const unsigned captionStyles = wsCaption | wsSysMenu;
  const bool changed =
      edge == abeFloat ? ChangeStyle(captionStyles, 0) : ChangeStyle(0, captionStyles);
  if (changed)
    platform_->RefreshFrame();
}

bool TAppBarCore::ChangeStyle(unsigned add, unsigned remove) {
  const unsigned before = platform_->Style();
  const unsigned after = (before | add) & ~remove;
  if (after == before)
    return false;
  platform_->SetStyle(after);
  return true;
}

void TAppBarCore::AutoHideRefused() {
  platform_->InformationBox("Information",
                            "There is already an auto hidden window on this edge.\n\r"
                            "Only one auto hidden window is allowed on each edge.");
}

void TAppBarCore::FullScreenAppChanged(bool open) {
  fullScreenAppOpen_ = open;
  ApplyState();
}

void TAppBarCore::BarPositionsChanged() {
  if (Edge() != abeFloat && !state_.AutoHide)
    ApplyState();
}

void TAppBarCore::WindowArrange(bool /*beginning*/) {}

void TAppBarCore::ApplyState() {
  SetEdge(Edge());
}

TRegistry& TAppBarCore::Registry() const {
  return registry_ != nullptr ? *registry_ : TRegistry::CurrentUser();
}

bool TAppBarCore::RestoreSettings() {
  const TRegistryKey* key = Registry().FindKey(location_.RootKey, location_.KeyName);
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
  state_ = *state;
  return true;
}

bool TAppBarCore::StoreSettings() {
  TRegistry& registry = Registry();
  TRegistryKey* key = registry.OpenKey(location_.RootKey, location_.KeyName, true);
  if (key == nullptr)
    return false;
  const auto bytes = EncodeAppBarState(state_);
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
    TRect inner = platform_->WorkArea();
    inner.Left += platform_->VScrollWidth();
    inner.Right -= platform_->VScrollWidth();
    inner.Top += platform_->HScrollHeight();
    inner.Bottom -= platform_->HScrollHeight();
    if (inner.Contains(px, py) || !mayDock)
      return abeFloat;
  }
  const int w = platform_->ScreenWidth();
  const int h = platform_->ScreenHeight();
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
  return mayFloat ? abeFloat : state_.Edge;
}

TAppBarEdge TAppBarCore::PendingEdgeAt(TPoint p) const {
  if (platform_->CtrlDown() && state_.Flags.Contains(abfAllowFloat))
    return abeFloat;
  return EdgeAtPoint(state_.Flags, p);
}

void TAppBarCore::AdjustCreateStyles(unsigned& style, unsigned& exStyle) {
  style &= ~(wsSysMenu | wsMinimizeBox | wsMaximizeBox);
  exStyle &= ~wsExAppWindow;
  exStyle |= wsExToolWindow;
}

void TAppBarCore::HandleCreate() {
  if (created_)
    return;
  created_ = true;
  platform_->StartHideTimer(std::max(state_.SlideTime, 1));
  timerRunning_ = true;
  const TRect w = platform_->WindowRect();
  state_.FloatLeft = w.Left;
  state_.FloatTop = w.Top;
  ShellBarMessage(ABM_NEW, abeFloat, nullptr, false, 0);
  ApplyState();
  platform_->PostEnterAndExitSizeMove();
}

void TAppBarCore::HandleDestroy() {
  if (!created_)
    return;
  created_ = false;
  platform_->StopHideTimer();
  timerRunning_ = false;
  SetEdge(abeUnknown);
}

void TAppBarCore::HandleWindowPosChanged() {
  if (created_)
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
      platform_->MouseButtonsSwapped() ? TMouseButton::Right : TMouseButton::Left;
  if (platform_->MouseButtonDown(primary) && c == HTCLIENT && !platform_->NonWindowedChildAt(p)) {
    c = HTCAPTION;
  }
  if (!IsSideOrCorner(c))
    return c;

  const TAppBarEdge edge = Edge();
  const bool noHorz = state_.HorzSizeInc == 0;
  const bool noVert = state_.VertSizeInc == 0;
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
  const TRect client = platform_->ClientRectOnScreen();
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
  pendingEdge_ = Edge();
}

void TAppBarCore::HandleMoving(TRect& dragged) {
  const TPoint p = platform_->MessageCursorPos();
  const TAppBarEdge e = PendingEdgeAt(p);
  if (pendingEdge_ != abeFloat && e == abeFloat) {
    const int w = state_.FloatRight - state_.FloatLeft;
    const int h = state_.FloatBottom - state_.FloatTop;
    const int left = p.X - w / 2;
    dragged = {left, p.Y, left + w, p.Y + h};
  }
  pendingEdge_ = e;
  QueryDockRect(e, dragged);
  StyleForEdge(true, e);
}

void TAppBarCore::HandleSizing(TSizingSide side, TRect& r) const {
  const bool floating = state_.Edge == abeFloat;
  const std::int64_t mw = floating ? state_.MinWidth : state_.MinVertDockSize;
  const std::int64_t mh = floating ? state_.MinHeight : state_.MinHorzDockSize;
  const std::int64_t hi = state_.HorzSizeInc;
  const std::int64_t vi = state_.VertSizeInc;
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
  const TAppBarEdge e = pendingEdge_;
  pendingEdge_ = abeUnknown;
  const TRect w = platform_->WindowRect();
  if (e == state_.Edge) {
    if (e == abeLeft || e == abeRight)
      state_.VertDockSize = w.Width();
    if (e == abeTop || e == abeBottom)
      state_.HorzDockSize = w.Height();
  }
  if (e == abeFloat) {
    if (state_.Edge == abeFloat) {
      SetFloatRect(w);
    } else {
      const TRect work = platform_->WorkArea();
      int width = w.Width();
      int height = w.Height();
      if (width >= work.Width() || height >= work.Height()) {
        width = state_.FloatRight - state_.FloatLeft;
        height = state_.FloatBottom - state_.FloatTop;
      }
      SetFloatRect({w.Left, w.Top, w.Left + width, w.Top + height});
    }
  }
  SetEdge(e);
}

TMinMaxInfo TAppBarCore::HandleGetMinMaxInfo() const {
  const TAppBarEdge edge = Edge();
  if (edge == abeFloat) {
    return {state_.MinWidth, state_.MinHeight, state_.MaxWidth, state_.MaxHeight};
  }
  TMinMaxInfo info{state_.MinVertDockSize, state_.MinHorzDockSize, platform_->ScreenWidth(),
                   platform_->ScreenHeight()};
  if (edge != abeTop && edge != abeBottom)
    info.MaxTrackWidth = state_.MaxVertDockSize;
  if (edge != abeLeft && edge != abeRight)
    info.MaxTrackHeight = state_.MaxHorzDockSize;
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
