#include "appbar/X11ToolbarService.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <memory>

#include "appbar/X11Desktop.h"

namespace quellion {

void TX11ToolbarService::ReservationChanged(TShellBarClient& bar, TAppBarEdge edge,
                                            const TRect& reserved) {
  x11::SetStrut(bar.NativeWindowId(), edge, reserved);
}

TEmulatedToolbarService& DefaultToolbarService() {
  static std::unique_ptr<TEmulatedToolbarService> service = [] {
    TRect screen{0, 0, 1024, 768};
    if (QScreen* s = QGuiApplication::primaryScreen()) {
      const QRect g = s->geometry();
      screen = {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
    }
    std::unique_ptr<TEmulatedToolbarService> made;
    if (x11::Display() != nullptr) {
      made = std::make_unique<TX11ToolbarService>(screen);
    } else {
      made = std::make_unique<TEmulatedToolbarService>(screen);
    }
    // Notifications reach the bars from the event loop, like posted messages.
    TEmulatedToolbarService* raw = made.get();
    made->OnNotificationQueued = [raw] {
      if (QCoreApplication::instance() == nullptr)
        return;
      QTimer::singleShot(0, QCoreApplication::instance(), [raw] { raw->DeliverNotifications(); });
    };
    return made;
  }();
  return *service;
}

}  // namespace quellion
