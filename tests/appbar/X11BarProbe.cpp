// Runs a TAppBar on a real X server with a window manager and checks what the window
// manager sees: the strut of a docked bar, the work area it shrinks, the sliver of an
// auto-hidden bar, no strut while floating. Exit code 0 when everything held.

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "appbar/AppBar.h"
#include "appbar/X11Desktop.h"

// clang-format off
#include <X11/Xlib.h>
#include <X11/Xatom.h>
// clang-format on

namespace {

int failures = 0;

void Check(bool ok, const std::string& what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
  if (!ok)
    ++failures;
}

// Pumps the application until pred holds or timeoutMs passes.
bool WaitUntil(const std::function<bool()>& pred, int timeoutMs = 10000) {
  QElapsedTimer timer;
  timer.start();
  while (!pred()) {
    if (timer.elapsed() > timeoutMs)
      return pred();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(10);
  }
  return true;
}

std::vector<long> Longs(::Display* d, Window w, const char* name, Atom type) {
  std::vector<long> out;
  Atom actual = 0;
  int format = 0;
  unsigned long count = 0, rest = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 64, False, type, &actual, &format,
                         &count, &rest, &data) == Success &&
      data != nullptr) {
    if (format == 32)
      out.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + count);
    XFree(data);
  }
  return out;
}

std::string Text(const std::vector<long>& v) {
  std::string s = "[";
  for (long x : v)
    s += std::to_string(x) + " ";
  return s + "]";
}

// The client window's position and size on the root window, as the server has them.
QRect ServerGeometry(::Display* d, Window w) {
  Window root = 0, child = 0;
  int x = 0, y = 0, rx = 0, ry = 0;
  unsigned width = 0, height = 0, border = 0, depth = 0;
  XGetGeometry(d, w, &root, &x, &y, &width, &height, &border, &depth);
  XTranslateCoordinates(d, w, root, 0, 0, &rx, &ry, &child);
  return QRect(rx, ry, int(width), int(height));
}

bool HasState(::Display* d, Window w, const char* state) {
  const Atom a = XInternAtom(d, state, False);
  for (long s : Longs(d, w, "_NET_WM_STATE", XA_ATOM)) {
    if (Atom(s) == a)
      return true;
  }
  return false;
}

// Docking on a scaled display (run with QT_SCALE_FACTOR): the bar works in Qt's logical
// pixels, the strut and the window manager in device pixels. One row per edge.
void CheckScaledDocking(::Display* d) {
  const Window root = DefaultRootWindow(d);
  const int deviceWidth = DisplayWidth(d, DefaultScreen(d));
  const int deviceHeight = DisplayHeight(d, DefaultScreen(d));
  quellion::TAppBar bar;
  const double scale = bar.devicePixelRatioF();
  const auto device = [scale](int logical) { return long(std::lround(logical * scale)); };
  const int width = int(std::lround(deviceWidth / scale));
  const int height = int(std::lround(deviceHeight / scale));
  std::printf("scale %.2f: logical screen %dx%d\n", scale, width, height);
  const auto workArea = [&] {
    std::vector<long> area = Longs(d, root, "_NET_WORKAREA", XA_CARDINAL);
    area.resize(4, -1);
    return area;
  };
  bar.setWindowTitle(QStringLiteral("Scaled bar probe"));
  bar.setGeometry(40, 40, 150, 150);
  bar.SetFloatRect({40, 40, 190, 190});
  bar.SetVertDockSize(100);
  bar.SetSlideEffect(false);
  bar.CreateHandle();
  bar.show();
  const Window w = Window(bar.winId());
  WaitUntil([&] { return ServerGeometry(d, w).topLeft() == QPoint(device(40), device(40)); });

  // The cursor near an edge of the logical screen proposes that edge; the middle floats.
  const quellion::TAppBarFlags flags = bar.Flags();
  Check(bar.EdgeAtPoint(flags, {width - 2, height / 2}) == quellion::abeRight,
        "the cursor at the right edge proposes docking there");
  Check(bar.EdgeAtPoint(flags, {1, height / 2}) == quellion::abeLeft,
        "the cursor at the left edge proposes docking there");
  Check(bar.EdgeAtPoint(flags, {width / 2, height / 2}) == quellion::abeFloat,
        "the middle of the screen floats");

  const struct {
    quellion::TAppBarEdge edge;
    const char* name;
    std::vector<long> strut;
    QRect window;
  } rows[] = {
      {quellion::abeRight,
       "right",
       {0, device(100), 0, 0, 0, 0, 0, deviceHeight - 1, 0, 0, 0, 0},
       QRect(deviceWidth - int(device(100)), 0, int(device(100)), deviceHeight)},
      {quellion::abeLeft,
       "left",
       {device(100), 0, 0, 0, 0, deviceHeight - 1, 0, 0, 0, 0, 0, 0},
       QRect(0, 0, int(device(100)), deviceHeight)},
  };
  for (const auto& row : rows) {
    bar.SetEdge(row.edge);
    const bool reserved = WaitUntil([&] {
      return Longs(d, w, "_NET_WM_STRUT_PARTIAL", XA_CARDINAL) == row.strut &&
             ServerGeometry(d, w) == row.window;
    });
    Check(reserved, std::string("docked ") + row.name + ": strut " +
                        Text(Longs(d, w, "_NET_WM_STRUT_PARTIAL", XA_CARDINAL)) + ", window at " +
                        std::to_string(ServerGeometry(d, w).x()) + " width " +
                        std::to_string(ServerGeometry(d, w).width()));
    // The window manager shrinks the work area after it has seen the strut.
    Check(WaitUntil([&] { return workArea()[2] == deviceWidth - device(100); }),
          std::string("docked ") + row.name + ": work area " + Text(workArea()));
    // Docked, the bar is a dock window: minimising is not offered, and nothing is recorded.
    bar.Minimize();
    QCoreApplication::processEvents();
    Check(!bar.isMinimized(), std::string("docked ") + row.name + ": not minimised");
  }
  bar.SetEdge(quellion::abeFloat);
  Check(WaitUntil([&] { return Longs(d, w, "_NET_WM_STRUT_PARTIAL", XA_CARDINAL).empty(); }),
        "floating: no strut");
  // Floating, minimise works, also after the refused ones while docked.
  bar.Minimize();
  Check(WaitUntil([&] { return HasState(d, w, "_NET_WM_STATE_HIDDEN"); }),
        "floating: minimised by the window manager");
  bar.showNormal();
  Check(WaitUntil([&] { return !HasState(d, w, "_NET_WM_STATE_HIDDEN"); }),
        "restored from minimised");
  bar.DestroyHandle();
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  if (quellion::x11::Display() == nullptr) {
    std::printf("FAILED: not running on X11\n");
    return 1;
  }
  // A connection of our own, so what we read is the server's view, not Qt's.
  ::Display* d = XOpenDisplay(nullptr);
  if (d == nullptr)
    return 1;
  if (argc > 1 && std::string(argv[1]) == "--scaled-docking") {
    CheckScaledDocking(d);
    XCloseDisplay(d);
    return failures == 0 ? 0 : 1;
  }
  const Window root = DefaultRootWindow(d);
  const int screenWidth = DisplayWidth(d, DefaultScreen(d));
  const int screenHeight = DisplayHeight(d, DefaultScreen(d));
  const auto workArea = [&] {
    std::vector<long> area = Longs(d, root, "_NET_WORKAREA", XA_CARDINAL);
    area.resize(4, -1);
    return area;
  };
  const std::vector<long> fullArea = workArea();
  Check(fullArea == std::vector<long>{0, 0, screenWidth, screenHeight},
        "work area before docking is the whole screen " + Text(fullArea));

  quellion::TAppBar bar;
  bar.setWindowTitle(QStringLiteral("Desktop bar probe"));
  bar.setGeometry(300, 200, 300, 400);
  bar.SetFloatRect({300, 200, 600, 600});
  bar.SetVertDockSize(200);
  bar.SetSlideEffect(false);
  bar.CreateHandle();
  bar.show();
  const Window w = Window(bar.winId());
  WaitUntil([&] { return ServerGeometry(d, w).topLeft() == QPoint(300, 200); }, 5000);

  bar.SetEdge(quellion::abeLeft);
  const std::vector<long> strut{200, 0, 0, 0, 0, screenHeight - 1, 0, 0, 0, 0, 0, 0};
  const bool docked = WaitUntil([&] {
    return Longs(d, w, "_NET_WM_STRUT_PARTIAL", XA_CARDINAL) == strut && workArea()[0] == 200;
  });
  Check(Longs(d, w, "_NET_WM_STRUT_PARTIAL", XA_CARDINAL) == strut,
        "docked left: _NET_WM_STRUT_PARTIAL " +
            Text(Longs(d, w, "_NET_WM_STRUT_PARTIAL", XA_CARDINAL)));
  Check(docked && workArea() == std::vector<long>{200, 0, screenWidth - 200, screenHeight},
        "work area shrank by the bar's width " + Text(workArea()));
  WaitUntil([&] { return ServerGeometry(d, w) == QRect(0, 0, 200, screenHeight); }, 5000);
  Check(ServerGeometry(d, w) == QRect(0, 0, 200, screenHeight), "the window fills the strip");
  WaitUntil([&] { return HasState(d, w, "_NET_WM_STATE_ABOVE"); }, 5000);
  Check(HasState(d, w, "_NET_WM_STATE_ABOVE"), "always on top: _NET_WM_STATE_ABOVE");
  Check(WaitUntil([&] { return HasState(d, w, "_NET_WM_STATE_SKIP_TASKBAR"); }),
        "docked: no taskbar entry");

  // Another program's panel at the left edge: the bar moves out beside it, and back.
  const Window panel = XCreateSimpleWindow(d, root, 0, 0, 50, screenHeight, 0, 0, 0);
  {
    long dock = long(XInternAtom(d, "_NET_WM_WINDOW_TYPE_DOCK", False));
    XChangeProperty(d, panel, XInternAtom(d, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(&dock), 1);
    long panelStrut[12] = {50, 0, 0, 0, 0, screenHeight - 1, 0, 0, 0, 0, 0, 0};
    XChangeProperty(d, panel, XInternAtom(d, "_NET_WM_STRUT_PARTIAL", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(panelStrut), 12);
    XMapWindow(d, panel);
    XFlush(d);
  }
  Check(WaitUntil([&] { return ServerGeometry(d, w) == QRect(50, 0, 200, screenHeight); }),
        "beside another program's panel: bar at " + std::to_string(ServerGeometry(d, w).x()));
  Check(WaitUntil([&] { return workArea()[0] == 250; }), "the panel and the bar reserve 250");
  XDestroyWindow(d, panel);
  XFlush(d);
  Check(WaitUntil([&] { return ServerGeometry(d, w) == QRect(0, 0, 200, screenHeight); }),
        "the panel gone, the bar moves back to the edge");

  // A full-screen window becoming active puts the bar below; its end brings it back.
  const Window fullScreen = XCreateSimpleWindow(d, root, 0, 0, 300, 300, 0, 0, 0);
  {
    long state = long(XInternAtom(d, "_NET_WM_STATE_FULLSCREEN", False));
    XChangeProperty(d, fullScreen, XInternAtom(d, "_NET_WM_STATE", False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(&state), 1);
    XMapWindow(d, fullScreen);
    XFlush(d);
  }
  Check(WaitUntil([&] {
          return HasState(d, w, "_NET_WM_STATE_BELOW") && !HasState(d, w, "_NET_WM_STATE_ABOVE");
        }),
        "a full-screen application puts the bar at the bottom");
  XDestroyWindow(d, fullScreen);
  XFlush(d);
  Check(WaitUntil([&] {
          return HasState(d, w, "_NET_WM_STATE_ABOVE") && !HasState(d, w, "_NET_WM_STATE_BELOW");
        }),
        "its end brings the bar back on top");

  bar.SetAutoHide(true);
  bar.ApplyState();
  // Whether it starts shown depends on the hide timer's last tick; sliding it in is what
  // the timer or the deactivation does once the cursor is away.
  bar.ShowAutoHidden(false);
  const bool hidden = WaitUntil([&] {
    const QRect g = ServerGeometry(d, w);
    return Longs(d, w, "_NET_WM_STRUT_PARTIAL", XA_CARDINAL).empty() && workArea() == fullArea &&
           g.x() == -198 && g.right() + 1 == 2;
  });
  Check(hidden, "auto-hide: no strut, whole work area, a two-border sliver; window at " +
                    std::to_string(ServerGeometry(d, w).x()) + " work area " + Text(workArea()));

  // The pointer touching the sliver (the frame) slides the bar out. A pointer that moves
  // while the toolkit still has the slid-in geometry pending lands in the old client area,
  // so it keeps moving along the sliver as a hand would until the bar answers.
  int step = 0;
  Check(WaitUntil([&] {
          if (step++ % 50 == 0) {
            XWarpPointer(d, None, root, 0, 0, 0, 0, 1, 300 + (step / 50) % 2);
            XFlush(d);
          }
          return ServerGeometry(d, w) == QRect(0, 0, 200, screenHeight);
        }),
        "auto-hide: the pointer on the sliver slides the bar out");
  Check(Longs(d, w, "_NET_WM_STRUT_PARTIAL", XA_CARDINAL).empty(), "no strut while slid out");

  bar.SetAutoHide(false);
  bar.SetEdge(quellion::abeFloat);
  const bool floating = WaitUntil([&] {
    return Longs(d, w, "_NET_WM_STRUT_PARTIAL", XA_CARDINAL).empty() &&
           Longs(d, w, "_NET_WM_STRUT", XA_CARDINAL).empty() && workArea() == fullArea &&
           ServerGeometry(d, w) == QRect(300, 200, 300, 400);
  });
  Check(floating, "floating: strut removed, window back at its floating rectangle " +
                      std::to_string(ServerGeometry(d, w).x()) + "," +
                      std::to_string(ServerGeometry(d, w).y()));
  Check(WaitUntil([&] { return !HasState(d, w, "_NET_WM_STATE_SKIP_TASKBAR"); }),
        "floating: taskbar entry shown");

  // Docking maps the window anew (as a dock); the program must not take that for its last
  // window closing.
  bool lastWindowClosed = false;
  QObject::connect(&app, &QGuiApplication::lastWindowClosed, [&] { lastWindowClosed = true; });
  QEventLoop loop;
  QTimer::singleShot(0, &bar, [&] { bar.SetEdge(quellion::abeLeft); });
  QTimer::singleShot(1000, &loop, &QEventLoop::quit);
  loop.exec();
  Check(!lastWindowClosed && bar.isVisible(), "remapping the window does not close it");
  const bool dockedAgain = WaitUntil([&] { return workArea()[0] == 200; });
  Check(dockedAgain, "docked again from the event loop");

  bar.DestroyHandle();
  Check(WaitUntil([&] { return workArea() == fullArea; }), "unregistering frees the strip");

  XCloseDisplay(d);
  return failures == 0 ? 0 : 1;
}
