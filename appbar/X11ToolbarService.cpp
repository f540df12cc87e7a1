#include "appbar/X11ToolbarService.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <iterator>
#include <memory>

#include "appbar/X11Desktop.h"

namespace quellion {

TX11ToolbarService::TX11ToolbarService(TRect screen)
    : TEmulatedToolbarService(screen), foreignArea_(screen) {
  x11::WatchRootProperties();
  if (QCoreApplication* app = QCoreApplication::instance())
    app->installNativeEventFilter(this);
  foreignArea_ = x11::ForeignStrutArea(Screen(), BarWindows());
}

TX11ToolbarService::~TX11ToolbarService() {
  if (QCoreApplication* app = QCoreApplication::instance())
    app->removeNativeEventFilter(this);
}

TRect TX11ToolbarService::PlacementArea() const {
  return x11::ForeignStrutArea(Screen(), BarWindows());
}

void TX11ToolbarService::CheckDesktop() {
  checkPending_ = false;
  const std::vector<std::uintptr_t> own = BarWindows();
  const TRect area = x11::ForeignStrutArea(Screen(), own);
  if (!(area == foreignArea_)) {
    foreignArea_ = area;
    NotifyPositionsChanged();
  }
  const bool fullScreen = x11::ActiveWindowFullScreen(own);
  if (fullScreen != fullScreen_) {
    fullScreen_ = fullScreen;
    NotifyFullScreenApp(fullScreen);
  }
}

bool TX11ToolbarService::nativeEventFilter(const QByteArray& eventType, void* message,
                                           qintptr* /*result*/) {
  if (eventType != "xcb_generic_event_t")
    return false;
  const unsigned long atom = x11::RootPropertyChanged(message);
  if (atom == 0 || checkPending_)
    return false;
  static const unsigned long watched[] = {
      x11::AtomNamed("_NET_WORKAREA"), x11::AtomNamed("_NET_CLIENT_LIST"),
      x11::AtomNamed("_NET_ACTIVE_WINDOW"), x11::AtomNamed("_NET_CLIENT_LIST_STACKING")};
  if (std::find(std::begin(watched), std::end(watched), atom) == std::end(watched))
    return false;
  // Read the desktop once the event has been handled, not from inside Qt's dispatch.
  checkPending_ = true;
  QTimer::singleShot(0, QCoreApplication::instance(), [this] { CheckDesktop(); });
  return false;
}

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
