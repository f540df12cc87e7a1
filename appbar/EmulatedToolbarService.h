#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "appbar/DesktopToolbarService.h"

namespace quellion {

// An in-process desktop-toolbar service that follows the shell's rules:
// - a bar must be registered (ABM_NEW) before it reserves space or owns an auto-hide edge;
// - ABM_QUERYPOS shrinks the proposed rectangle so that it avoids the strips reserved by
//   the bars registered before it (one at the same edge pushes it inward, one at a
//   neighbouring edge shortens it), within the screen;
// - ABM_SETPOS applies the same adjustment, keeping the thickness, and reserves the result
//   (nothing for an empty rectangle or a non-docking edge);
// - each edge has at most one auto-hide bar; a second one is refused;
// - when a reserved strip changes or goes, every other bar is told (ABN_POSCHANGED).
// Notifications are queued and handed out by DeliverNotifications(), never from inside a
// bar's own call, so bars may answer them with further calls.
class TEmulatedToolbarService : public TDesktopToolbarService {
 public:
  explicit TEmulatedToolbarService(TRect screen);
  ~TEmulatedToolbarService() override = default;

  std::intptr_t Message(unsigned message, TAppBarData& data) override;

  // The screen minus every reserved strip.
  TRect WorkArea() const;
  void SetScreen(TRect screen) { screen_ = screen; }
  TRect Screen() const { return screen_; }
  bool IsRegistered(const TShellBarClient* bar) const;
  // The strip reserved by a bar, if any.
  std::optional<TRect> Reserved(const TShellBarClient* bar) const;

  // Tells every registered bar that a full-screen application opened or closed.
  void NotifyFullScreenApp(bool open);
  // Tells every registered bar that the space bars may use changed.
  void NotifyPositionsChanged();
  void NotifyWindowArrange(bool beginning);
  // Delivers queued notifications (also those queued meanwhile); returns how many.
  int DeliverNotifications();
  bool NotificationsPending() const { return !queue_.empty(); }
  // Called whenever a notification is queued (the window system schedules delivery).
  std::function<void()> OnNotificationQueued;

 protected:
  // Called after a bar's reserved strip changed; `reserved` is empty when none is left.
  virtual void ReservationChanged(TShellBarClient& /*bar*/, TAppBarEdge /*edge*/,
                                  const TRect& /*reserved*/) {}
  // Where bars may be placed: the screen, less what the window system reserves otherwise.
  virtual TRect PlacementArea() const { return screen_; }
  // The native windows of the registered bars.
  std::vector<std::uintptr_t> BarWindows() const;

 private:
  struct TBar {
    TShellBarClient* Client = nullptr;
    unsigned CallbackMessage = 0;
    TAppBarEdge Edge = abeFloat;
    std::optional<TRect> Reserved;
  };
  struct TNotification {
    TShellBarClient* Client;
    unsigned Code;
    std::intptr_t Param;
  };

  TBar* Find(const TShellBarClient* bar);
  const TBar* Find(const TShellBarClient* bar) const;
  void Adjust(const TShellBarClient* self, TAppBarEdge edge, TRect& r, bool keepThickness) const;
  void SetReservation(TBar& bar, TAppBarEdge edge, std::optional<TRect> reserved);
  void NotifyOthers(const TShellBarClient* except, unsigned code, std::intptr_t param);

  TRect screen_;
  std::vector<TBar> bars_;
  TShellBarClient* autoHide_[4] = {nullptr, nullptr, nullptr, nullptr};
  std::deque<TNotification> queue_;
};

}  // namespace quellion
