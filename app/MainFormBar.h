#pragma once

#include <QPalette>
#include <QRect>

#include "appbar/AppBarCore.h"

class QPainter;
class QWidget;

namespace quellion {

class TAppBar;

// What the main window does with its desktop bar: the values it imposes at every start,
// the layout of its controls by edge, and the gripper strip by which it is dragged.

// Width of the strip that holds the two images and the gripper.
inline constexpr int GripperStripSize = 13;

// MinWidth 237, MinHeight 200, MinVertDockSize 248, MinHorzDockSize 200, Flags {left,
// right, float}, HorzSizeInc 1, VertSizeInc 1, whatever was stored.
void ImposeMainFormBarValues(TAppBarCore& bar);

// Places Panel1, imgMenu and imgMin for the edge inside the client area (widget
// coordinates of their parent): docked left or right, the images side by side in a top
// strip; floating (or top/bottom), one above the other in a left strip. abeUnknown moves
// nothing. Null widgets are skipped.
void LayoutByEdge(TAppBarEdge edge, const QRect& client, QWidget* panel1, QWidget* imgMenu,
                  QWidget* imgMin);

// Draws 13 one-pixel lines inside rect in the colours button face, highlight, shadow,
// repeating. Orientation 0: horizontal lines from (L + 2, T + i) to (R - 1, T + i);
// 1: vertical lines from (L + i, T + 2) to (L + i, B - 1); end points not painted.
// Any other orientation draws nothing. rect's right and bottom are exclusive (R = x + w).
void DrawGripper(QPainter& painter, int orientation, const QRect& rect,
                 const QPalette& palette = QPalette());

// The paint-by-edge rule: left or right, a horizontal gripper right of the images across
// the top strip; top, bottom or floating, a vertical one below them down the left strip;
// abeUnknown nothing.
void PaintGripperByEdge(QPainter& painter, TAppBarEdge edge, const QRect& client,
                        const QPalette& palette = QPalette());

// FormResize for a bar window: invalidates the whole window, then LayoutByEdge with the
// bar's current edge and client area.
void MainFormBarResize(TAppBar& form, QWidget* panel1, QWidget* imgMenu, QWidget* imgMin);

// FormPaint for a bar window: PaintGripperByEdge with the bar's edge and client area.
void MainFormBarPaint(TAppBar& form, QPainter& painter);

}  // namespace quellion
