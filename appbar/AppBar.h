#pragma once

#include <QPoint>
#include <QRect>
#include <QWidget>
#include <memory>

#include "appbar/AppBarCore.h"

class QTimer;

namespace quellion {

class TAppBarWindowPlatform;

// The desktop bar window: a frameless top-level window that docks at a screen edge,
// floats with its own small caption, hides at its edge and stays on top. The logic is
// TAppBarCore's; this class feeds it the window's messages. The window moves and sizes
// itself: a press on the caption, on free client area or on the frame starts the drag.
//
// Derived windows lay their controls out inside ClientRect() and, when they override
// paintEvent, paint only the client area (the frame and caption are painted afterwards).
class TAppBar : public QWidget, public TAppBarCore {
  Q_OBJECT

 public:
  explicit TAppBar(QWidget* parent = nullptr);
  // For tests: a window run against the given platform and service.
  TAppBar(std::unique_ptr<TAppBarPlatform> platform, TDesktopToolbarService& service,
          QWidget* parent = nullptr);
  ~TAppBar() override;

  // The native window's creation: the hide timer, the shell registration and the first
  // ApplyState. Runs once; the first show runs it when it has not run yet.
  void CreateHandle();
  // The native window's destruction: stops the timer and unregisters (Edge := abeUnknown).
  // Runs once; the destructor runs it when it has not run yet.
  void DestroyHandle();

  // Minimises the window when it can be minimised: a docked bar under X11 is a dock
  // window, which window managers refuse to minimise, so it stays as it is (and does not
  // record itself as minimised). A minimised state left over from such a refusal is
  // cleared first, so that a later minimise is not taken for a repeat.
  bool CanMinimize() const { return !dockType_; }
  void Minimize();

  // The client area in widget coordinates: inside the frame, below the caption while
  // floating.
  QRect ClientRect() const;
  // Thickness of the sizing frame and height of the floating caption, in pixels.
  static constexpr int FrameSize = 3;
  static constexpr int CaptionHeight = 15;

  // The close box at the right end of the floating caption (the system-menu style), in
  // widget coordinates; empty while docked. A click on it closes the window.
  QRect CloseBoxRect() const;

  // The framework's hit-test answer for a point in widget coordinates (before the bar's
  // own rules): frame sides and corners, the close box, the caption, or the client area.
  THitCode FrameworkHitTest(QPoint widgetPos) const;

  // TShellBarClient
  std::uintptr_t NativeWindowId() const override;

  void StyleForEdge(bool proposed, TAppBarEdge edge) override;

 protected:
  bool event(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void Init();
  void PaintFrame();
  void UpdateMargins();
  void UpdateCursor(THitCode code);
  void EndDrag();

  enum class TDrag { None, Move, Size };
  TDrag drag_ = TDrag::None;
  TSizingSide sizingSide_ = TSizingSide::Right;
  QPoint dragCursor_;    // cursor at the last drag step
  QRect dragRect_;       // the drag rectangle as last adjusted
  QRect sizeStartRect_;  // the window at the start of sizing
  QPoint sizeStartCursor_;
  bool closeBoxPressed_ = false;
  bool destroyed_ = false;
  bool statesAppliedAfterMap_ = false;
  bool dockType_ = false;  // _NET_WM_WINDOW_TYPE_DOCK set
  // The window's own platform (null when a test injected another one).
  TAppBarWindowPlatform* windowPlatform_ = nullptr;

  friend class TAppBarWindowPlatform;
};

}  // namespace quellion
