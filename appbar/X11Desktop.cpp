#include "appbar/X11Desktop.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

// Xlib last: its macros (Bool, Status, None) break Qt headers included after it.
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xatom.h>
// clang-format on

namespace quellion::x11 {

namespace {

::Display* Dpy() {
  return static_cast<::Display*>(Display());
}

Atom AtomOf(::Display* d, const char* name) {
  return XInternAtom(d, name, False);
}

// Reads a CARDINAL/ATOM array property (format 32).
std::vector<long> ReadLongs(::Display* d, Window w, Atom property, Atom type) {
  std::vector<long> values;
  Atom actualType = None;
  int actualFormat = 0;
  unsigned long count = 0;
  unsigned long remaining = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, w, property, 0, 1024, False, type, &actualType, &actualFormat, &count,
                         &remaining, &data) == Success &&
      data != nullptr) {
    if (actualType == type && actualFormat == 32) {
      const long* longs = reinterpret_cast<const long*>(data);
      values.assign(longs, longs + count);
    }
    XFree(data);
  }
  return values;
}

// Qt's logical pixels per X11 device pixel: the screen's device pixel ratio (2 with
// QT_SCALE_FACTOR=2). Everything this file hands out or takes in is logical; X11
// properties are device pixels.
double Scale() {
  QScreen* screen = qGuiApp != nullptr ? QGuiApplication::primaryScreen() : nullptr;
  const double ratio = screen != nullptr ? screen->devicePixelRatio() : 1.0;
  return ratio > 0 ? ratio : 1.0;
}

long ToDevice(long logical) {
  return std::lround(double(logical) * Scale());
}

int ToLogical(long device) {
  return int(std::lround(double(device) / Scale()));
}

bool IsMapped(::Display* d, Window w) {
  XWindowAttributes attributes;
  if (XGetWindowAttributes(d, w, &attributes) == 0)
    return false;
  return attributes.map_state != IsUnmapped;
}

}  // namespace

void* Display() {
  auto* app = qGuiApp;
  if (app == nullptr)
    return nullptr;
  auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
  return x11 != nullptr ? x11->display() : nullptr;
}

void SetStrut(std::uintptr_t window, TAppBarEdge edge, const TRect& strip) {
  ::Display* d = Dpy();
  if (d == nullptr || window == 0)
    return;
  const Window w = Window(window);
  const Atom partial = AtomOf(d, "_NET_WM_STRUT_PARTIAL");
  const Atom strut = AtomOf(d, "_NET_WM_STRUT");
  if (strip.Width() <= 0 || strip.Height() <= 0) {
    XDeleteProperty(d, w, partial);
    XDeleteProperty(d, w, strut);
    XFlush(d);
    return;
  }
  // left, right, top, bottom, left_start_y, left_end_y, right_start_y, right_end_y,
  // top_start_x, top_end_x, bottom_start_x, bottom_end_x
  long v[12] = {};
  const long screenWidth = DisplayWidth(d, DefaultScreen(d));
  const long screenHeight = DisplayHeight(d, DefaultScreen(d));
  // The strip arrives in logical pixels; the properties are in device pixels.
  const long left = ToDevice(strip.Left), top = ToDevice(strip.Top);
  const long right = ToDevice(strip.Right), bottom = ToDevice(strip.Bottom);
  switch (edge) {
    case abeLeft:
      v[0] = std::max(0L, right);
      v[4] = top;
      v[5] = bottom - 1;
      break;
    case abeRight:
      v[1] = std::max(0L, screenWidth - left);
      v[6] = top;
      v[7] = bottom - 1;
      break;
    case abeTop:
      v[2] = std::max(0L, bottom);
      v[8] = left;
      v[9] = right - 1;
      break;
    case abeBottom:
      v[3] = std::max(0L, screenHeight - top);
      v[10] = left;
      v[11] = right - 1;
      break;
    default:
      XDeleteProperty(d, w, partial);
      XDeleteProperty(d, w, strut);
      XFlush(d);
      return;
  }
  XChangeProperty(d, w, partial, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(v), 12);
  XChangeProperty(d, w, strut, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(v), 4);
  XFlush(d);
}

std::optional<TRect> WorkArea() {
  ::Display* d = Dpy();
  if (d == nullptr)
    return std::nullopt;
  const Window root = DefaultRootWindow(d);
  const std::vector<long> area = ReadLongs(d, root, AtomOf(d, "_NET_WORKAREA"), XA_CARDINAL);
  if (area.size() < 4)
    return std::nullopt;
  std::size_t desktop = 0;
  const std::vector<long> current =
      ReadLongs(d, root, AtomOf(d, "_NET_CURRENT_DESKTOP"), XA_CARDINAL);
  if (!current.empty() && current[0] >= 0 && std::size_t(current[0]) * 4 + 3 < area.size()) {
    desktop = std::size_t(current[0]);
  }
  const long* a = &area[desktop * 4];
  return TRect{ToLogical(a[0]), ToLogical(a[1]), ToLogical(a[0] + a[2]), ToLogical(a[1] + a[3])};
}

void SetWindowState(std::uintptr_t window, const char* state, bool on) {
  ::Display* d = Dpy();
  if (d == nullptr || window == 0)
    return;
  const Window w = Window(window);
  const Atom netWmState = AtomOf(d, "_NET_WM_STATE");
  const Atom stateAtom = AtomOf(d, state);
  // An unmapped window carries its initial states as the property; the manager's own
  // copy is changed by request. Both, because a window being mapped may be either.
  if (!IsMapped(d, w)) {
    std::vector<long> atoms = ReadLongs(d, w, netWmState, XA_ATOM);
    atoms.erase(std::remove(atoms.begin(), atoms.end(), long(stateAtom)), atoms.end());
    if (on)
      atoms.push_back(long(stateAtom));
    XChangeProperty(d, w, netWmState, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(atoms.data()), int(atoms.size()));
  }
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = w;
  event.xclient.message_type = netWmState;
  event.xclient.format = 32;
  event.xclient.data.l[0] = on ? 1 : 0;  // _NET_WM_STATE_ADD / _REMOVE
  event.xclient.data.l[1] = long(stateAtom);
  event.xclient.data.l[2] = 0;
  event.xclient.data.l[3] = 1;  // source: application
  XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask,
             &event);
  XFlush(d);
}

void SetDockType(std::uintptr_t window, bool dock) {
  ::Display* d = Dpy();
  if (d == nullptr || window == 0)
    return;
  long type[1] = {
      long(AtomOf(d, dock ? "_NET_WM_WINDOW_TYPE_DOCK" : "_NET_WM_WINDOW_TYPE_NORMAL"))};
  XChangeProperty(d, Window(window), AtomOf(d, "_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(type), 1);
  XFlush(d);
}

void WaitUntilWithdrawn(std::uintptr_t window, int timeoutMs) {
  ::Display* d = Dpy();
  if (d == nullptr || window == 0)
    return;
  const Window root = DefaultRootWindow(d);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  // A managed window sits in the manager's frame; a released one is a child of the root.
  for (;;) {
    XSync(d, False);
    Window rootReturn = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(d, Window(window), &rootReturn, &parent, &children, &count) == 0)
      return;
    if (children != nullptr)
      XFree(children);
    if (parent == root || std::chrono::steady_clock::now() >= deadline)
      return;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

TRect ForeignStrutArea(const TRect& screen, const std::vector<std::uintptr_t>& own) {
  TRect area = screen;
  ::Display* d = Dpy();
  if (d == nullptr)
    return area;
  const Window root = DefaultRootWindow(d);
  for (long client : ReadLongs(d, root, AtomOf(d, "_NET_CLIENT_LIST"), XA_WINDOW)) {
    if (std::find(own.begin(), own.end(), std::uintptr_t(client)) != own.end())
      continue;
    std::vector<long> strut =
        ReadLongs(d, Window(client), AtomOf(d, "_NET_WM_STRUT_PARTIAL"), XA_CARDINAL);
    if (strut.size() < 4) {
      strut = ReadLongs(d, Window(client), AtomOf(d, "_NET_WM_STRUT"), XA_CARDINAL);
    }
    if (strut.size() < 4)
      continue;
    // Struts are device pixels; the screen and the answer are logical.
    area.Left = std::max(area.Left, screen.Left + ToLogical(strut[0]));
    area.Right = std::min(area.Right, screen.Right - ToLogical(strut[1]));
    area.Top = std::max(area.Top, screen.Top + ToLogical(strut[2]));
    area.Bottom = std::min(area.Bottom, screen.Bottom - ToLogical(strut[3]));
  }
  return area;
}

bool ActiveWindowFullScreen(const std::vector<std::uintptr_t>& own) {
  ::Display* d = Dpy();
  if (d == nullptr)
    return false;
  const std::vector<long> active =
      ReadLongs(d, DefaultRootWindow(d), AtomOf(d, "_NET_ACTIVE_WINDOW"), XA_WINDOW);
  if (active.empty() || active[0] == 0)
    return false;
  if (std::find(own.begin(), own.end(), std::uintptr_t(active[0])) != own.end())
    return false;
  const long fullScreen = long(AtomOf(d, "_NET_WM_STATE_FULLSCREEN"));
  const std::vector<long> states =
      ReadLongs(d, Window(active[0]), AtomOf(d, "_NET_WM_STATE"), XA_ATOM);
  return std::find(states.begin(), states.end(), fullScreen) != states.end();
}

void WatchRootProperties() {
  ::Display* d = Dpy();
  if (d == nullptr)
    return;
  const Window root = DefaultRootWindow(d);
  XWindowAttributes attributes;
  if (XGetWindowAttributes(d, root, &attributes) == 0)
    return;
  XSelectInput(d, root, attributes.your_event_mask | PropertyChangeMask);
  XFlush(d);
}

unsigned long RootPropertyChanged(const void* xcbEvent) {
  ::Display* d = Dpy();
  if (d == nullptr || xcbEvent == nullptr)
    return 0;
  // xcb_property_notify_event_t: type, pad, sequence, window, atom, time, state.
  struct TPropertyNotify {
    std::uint8_t ResponseType;
    std::uint8_t Pad0;
    std::uint16_t Sequence;
    std::uint32_t Window;
    std::uint32_t Atom;
    std::uint32_t Time;
    std::uint8_t State;
  };
  const auto* event = static_cast<const TPropertyNotify*>(xcbEvent);
  if ((event->ResponseType & 0x7f) != PropertyNotify)
    return 0;
  if (event->Window != DefaultRootWindow(d))
    return 0;
  return event->Atom;
}

unsigned long AtomNamed(const char* name) {
  ::Display* d = Dpy();
  return d != nullptr ? AtomOf(d, name) : 0;
}

void Flush() {
  if (::Display* d = Dpy())
    XFlush(d);
}

}  // namespace quellion::x11
