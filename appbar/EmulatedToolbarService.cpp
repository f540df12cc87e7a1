#include "appbar/EmulatedToolbarService.h"

#include <algorithm>

namespace quellion {

TEmulatedToolbarService::TEmulatedToolbarService(TRect screen) : screen_(screen) {}

TEmulatedToolbarService::TBar* TEmulatedToolbarService::Find(const TShellBarClient* bar) {
  for (TBar& b : bars_) {
    if (b.Client == bar)
      return &b;
  }
  return nullptr;
}

const TEmulatedToolbarService::TBar* TEmulatedToolbarService::Find(
    const TShellBarClient* bar) const {
  for (const TBar& b : bars_) {
    if (b.Client == bar)
      return &b;
  }
  return nullptr;
}

bool TEmulatedToolbarService::IsRegistered(const TShellBarClient* bar) const {
  return Find(bar) != nullptr;
}

std::optional<TRect> TEmulatedToolbarService::Reserved(const TShellBarClient* bar) const {
  const TBar* b = Find(bar);
  return b != nullptr ? b->Reserved : std::nullopt;
}

TRect TEmulatedToolbarService::WorkArea() const {
  TRect work = screen_;
  for (const TBar& b : bars_) {
    if (!b.Reserved)
      continue;
    const TRect& r = *b.Reserved;
    switch (b.Edge) {
      case abeLeft:
        work.Left = std::max(work.Left, r.Right);
        break;
      case abeTop:
        work.Top = std::max(work.Top, r.Bottom);
        break;
      case abeRight:
        work.Right = std::min(work.Right, r.Left);
        break;
      case abeBottom:
        work.Bottom = std::min(work.Bottom, r.Top);
        break;
      default:
        break;
    }
  }
  return work;
}

void TEmulatedToolbarService::Adjust(const TShellBarClient* self, TAppBarEdge edge, TRect& r,
                                     bool keepThickness) const {
  const TRect area = PlacementArea();
  r.Left = std::max(r.Left, area.Left);
  r.Top = std::max(r.Top, area.Top);
  r.Right = std::min(r.Right, area.Right);
  r.Bottom = std::min(r.Bottom, area.Bottom);
  const int width = r.Width();
  const int height = r.Height();
  // The strips of the bars registered before this one are cut away, as from the work
  // area. Later bars never push earlier ones, so bars answering each other's position
  // changes settle instead of leapfrogging.
  for (const TBar& b : bars_) {
    if (b.Client == self)
      break;
    if (!b.Reserved)
      continue;
    const TRect& o = *b.Reserved;
    switch (b.Edge) {
      case abeLeft:
        r.Left = std::max(r.Left, o.Right);
        break;
      case abeRight:
        r.Right = std::min(r.Right, o.Left);
        break;
      case abeTop:
        r.Top = std::max(r.Top, o.Bottom);
        break;
      case abeBottom:
        r.Bottom = std::min(r.Bottom, o.Top);
        break;
      default:
        break;
    }
  }
  if (!keepThickness)
    return;
  // The strip keeps its thickness, moved inward past the bars outside it.
  switch (edge) {
    case abeLeft:
      r.Right = r.Left + width;
      break;
    case abeRight:
      r.Left = r.Right - width;
      break;
    case abeTop:
      r.Bottom = r.Top + height;
      break;
    case abeBottom:
      r.Top = r.Bottom - height;
      break;
    default:
      break;
  }
}

void TEmulatedToolbarService::SetReservation(TBar& bar, TAppBarEdge edge,
                                             std::optional<TRect> reserved) {
  if (bar.Edge == edge && bar.Reserved == reserved)
    return;
  bar.Edge = edge;
  bar.Reserved = reserved;
  TShellBarClient* client = bar.Client;  // bar may move when bars_ changes
  NotifyOthers(client, ABN_POSCHANGED, 0);
  ReservationChanged(*client, edge, reserved.value_or(TRect{}));
}

void TEmulatedToolbarService::NotifyOthers(const TShellBarClient* except, unsigned code,
                                           std::intptr_t param) {
  bool queued = false;
  for (const TBar& b : bars_) {
    if (b.Client == except)
      continue;
    queue_.push_back({b.Client, code, param});
    queued = true;
  }
  if (queued && OnNotificationQueued)
    OnNotificationQueued();
}

void TEmulatedToolbarService::NotifyFullScreenApp(bool open) {
  NotifyOthers(nullptr, ABN_FULLSCREENAPP, open ? 1 : 0);
}

void TEmulatedToolbarService::NotifyPositionsChanged() {
  NotifyOthers(nullptr, ABN_POSCHANGED, 0);
}

std::vector<std::uintptr_t> TEmulatedToolbarService::BarWindows() const {
  std::vector<std::uintptr_t> windows;
  for (const TBar& b : bars_) {
    if (const std::uintptr_t w = b.Client->NativeWindowId())
      windows.push_back(w);
  }
  return windows;
}

void TEmulatedToolbarService::NotifyWindowArrange(bool beginning) {
  NotifyOthers(nullptr, ABN_WINDOWARRANGE, beginning ? 1 : 0);
}

int TEmulatedToolbarService::DeliverNotifications() {
  int delivered = 0;
  // Bounded: a bar answering every notification with a change that notifies again would
  // otherwise keep this loop going for ever.
  for (int budget = 1000; budget > 0 && !queue_.empty(); --budget) {
    const TNotification n = queue_.front();
    queue_.pop_front();
    const TBar* bar = Find(n.Client);
    if (bar == nullptr)
      continue;  // unregistered meanwhile
    n.Client->ShellCallback(bar->CallbackMessage, n.Code, n.Param);
    ++delivered;
  }
  return delivered;
}

std::intptr_t TEmulatedToolbarService::Message(unsigned message, TAppBarData& data) {
  TShellBarClient* client = data.hWnd;
  TBar* bar = Find(client);
  const bool edgeValid = data.uEdge <= abeBottom;
  const TAppBarEdge edge = edgeValid ? TAppBarEdge(data.uEdge) : abeFloat;
  switch (message) {
    case ABM_NEW:
      if (client == nullptr || bar != nullptr)
        return 0;
      bars_.push_back({client, data.uCallbackMessage, abeFloat, std::nullopt});
      return 1;
    case ABM_REMOVE: {
      if (bar == nullptr)
        return 0;
      for (TShellBarClient*& holder : autoHide_) {
        if (holder == client)
          holder = nullptr;
      }
      const bool hadReservation = bar->Reserved.has_value();
      const TAppBarEdge oldEdge = bar->Edge;
      bars_.erase(bars_.begin() + (bar - bars_.data()));
      if (hadReservation) {
        NotifyOthers(client, ABN_POSCHANGED, 0);
        ReservationChanged(*client, oldEdge, TRect{});
      }
      return 1;
    }
    case ABM_QUERYPOS:
      if (bar == nullptr || !edgeValid)
        return 0;
      Adjust(client, edge, data.rc, false);
      return 1;
    case ABM_SETPOS:
      if (bar == nullptr)
        return 0;
      if (!edgeValid || data.rc.Width() <= 0 || data.rc.Height() <= 0) {
        SetReservation(*bar, edge, std::nullopt);
        return 1;
      }
      Adjust(client, edge, data.rc, true);
      SetReservation(*bar, edge, data.rc);
      return 1;
    case ABM_GETAUTOHIDEBAR:
      if (!edgeValid)
        return 0;
      return reinterpret_cast<std::intptr_t>(autoHide_[edge]);
    case ABM_SETAUTOHIDEBAR:
      if (bar == nullptr || !edgeValid)
        return 0;
      if (data.lParam != 0) {
        if (autoHide_[edge] != nullptr && autoHide_[edge] != client)
          return 0;
        autoHide_[edge] = client;
        return 1;
      }
      if (autoHide_[edge] != client)
        return 0;
      autoHide_[edge] = nullptr;
      return 1;
    case ABM_ACTIVATE:
    case ABM_WINDOWPOSCHANGED:
      return bar != nullptr ? 1 : 0;
    default:
      return 0;
  }
}

}  // namespace quellion
