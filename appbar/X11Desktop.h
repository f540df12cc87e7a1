#pragma once

#include <cstdint>
#include <optional>

#include "appbar/AppBarTypes.h"

// Internal: the EWMH properties the desktop bar uses, through Xlib. Every function is a
// no-op (or answers nothing) when the program does not run on X11.
namespace quellion::x11 {

// The X display of the running Qt application, or null when the platform is not xcb.
void* Display();

// Reserves (or, for an empty rectangle, frees) a strip at a screen edge for a window:
// _NET_WM_STRUT_PARTIAL and _NET_WM_STRUT.
void SetStrut(std::uintptr_t window, TAppBarEdge edge, const TRect& strip);

// The window manager's work area (_NET_WORKAREA of the root window, current desktop).
std::optional<TRect> WorkArea();

// One _NET_WM_STATE atom ("_NET_WM_STATE_ABOVE", ...) on or off. A mapped window asks
// the window manager; an unmapped one gets the property written.
void SetWindowState(std::uintptr_t window, const char* state, bool on);

// _NET_WM_WINDOW_TYPE: DOCK (window managers let a dock leave the screen partly, which an
// auto-hidden bar needs) or NORMAL.
void SetDockType(std::uintptr_t window, bool dock);

// After unmapping a window: waits (at most timeoutMs) until the window manager has let it
// go, so that mapping it again has it managed anew.
void WaitUntilWithdrawn(std::uintptr_t window, int timeoutMs);

// Sends the queued requests to the server.
void Flush();

}  // namespace quellion::x11
