#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "appbar/AppBarTypes.h"

// Internal: the EWMH properties the desktop bar uses, through Xlib. Every function is a
// no-op (or answers nothing) when the program does not run on X11. Rectangles are in
// Qt's logical pixels on both sides of this interface; the conversion to and from the
// X11 device pixels (scaled displays, QT_SCALE_FACTOR) happens inside.
namespace quellion::x11 {

// The X display of the running Qt application, or null when the platform is not xcb.
void* Display();

// Reserves (or, for an empty rectangle, frees) a strip at a screen edge for a window:
// _NET_WM_STRUT_PARTIAL and _NET_WM_STRUT.
void SetStrut(std::uintptr_t window, TAppBarEdge edge, const TRect& strip);

// The window manager's work area (_NET_WORKAREA of the root window, current desktop).
std::optional<TRect> WorkArea();

// One _NET_WM_STATE atom ("_NET_WM_STATE_ABOVE", ...) on or off: the window manager is
// asked, and an unmapped window also gets the property written.
void SetWindowState(std::uintptr_t window, const char* state, bool on);

// _NET_WM_WINDOW_TYPE: DOCK (window managers let a dock leave the screen partly, which an
// auto-hidden bar needs) or NORMAL.
void SetDockType(std::uintptr_t window, bool dock);

// After unmapping a window: waits (at most timeoutMs) until the window manager has let it
// go, so that mapping it again has it managed anew.
void WaitUntilWithdrawn(std::uintptr_t window, int timeoutMs);

// The screen less the struts of the managed windows (_NET_CLIENT_LIST) other than those
// given: where a bar may go without covering a panel.
TRect ForeignStrutArea(const TRect& screen, const std::vector<std::uintptr_t>& own);

// Whether the active window (_NET_ACTIVE_WINDOW), if not one of those given, is full screen.
bool ActiveWindowFullScreen(const std::vector<std::uintptr_t>& own);

// Asks for the root window's property changes (keeping what else is selected) and answers
// the atom of a root property change in an xcb event, else 0.
void WatchRootProperties();
unsigned long RootPropertyChanged(const void* xcbEvent);
// The atom of a name.
unsigned long AtomNamed(const char* name);

// Sends the queued requests to the server.
void Flush();

}  // namespace quellion::x11
