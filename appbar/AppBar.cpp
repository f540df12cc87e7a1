#include "appbar/AppBar.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <algorithm>

#include "appbar/X11Desktop.h"
#include "appbar/X11ToolbarService.h"

namespace quellion {

namespace {

TRect ToTRect(const QRect& r) {
  return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}
QRect ToQRect(const TRect& r) {
  return QRect(r.Left, r.Top, r.Width(), r.Height());
}

}  // namespace

// The bar's window as the logic sees it: Qt for geometry, input and painting, EWMH
// states through Xlib when running on X11.
class TAppBarWindowPlatform : public TAppBarPlatform {
 public:
  explicit TAppBarWindowPlatform(TAppBar* bar) : bar_(bar) { clock_.start(); }

  void SetMessagePos(std::optional<QPoint> p) { messagePos_ = p; }
  void SetMessageButtons(std::optional<Qt::MouseButtons> b) { messageButtons_ = b; }

  QRect ScreenGeometry() const {
    QScreen* s = QGuiApplication::primaryScreen();
    return s != nullptr ? s->geometry() : QRect(0, 0, 1024, 768);
  }
  int ScreenWidth() const override { return ScreenGeometry().width(); }
  int ScreenHeight() const override { return ScreenGeometry().height(); }
  int BorderWidth() const override { return 1; }
  int BorderHeight() const override { return 1; }
  int DoubleClickWidth() const override { return 4; }
  int DoubleClickHeight() const override { return 4; }
  int VScrollWidth() const override { return ScrollBarExtent(); }
  int HScrollHeight() const override { return ScrollBarExtent(); }
  // X11 applies the pointer mapping before Qt sees the buttons: Qt's left is primary.
  bool MouseButtonsSwapped() const override { return false; }
  TRect WorkArea() const override {
    if (auto area = x11::WorkArea())
      return *area;
    return DefaultToolbarService().WorkArea();
  }
  // The bar moves itself and always shows the whole window.
  bool FullWindowDrag() const override { return true; }
  bool CtrlDown() const override {
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
  }
  // The buttons of the mouse event being handled, else the application's latest state.
  bool MouseButtonDown(TMouseButton button) const override {
    const Qt::MouseButtons buttons = messageButtons_.value_or(QGuiApplication::mouseButtons());
    return buttons.testFlag(button == TMouseButton::Left ? Qt::LeftButton : Qt::RightButton);
  }
  TPoint MessageCursorPos() const override {
    const QPoint p = messagePos_.value_or(QCursor::pos());
    return {p.x(), p.y()};
  }
  std::uint32_t TickCount() const override { return std::uint32_t(clock_.elapsed()); }

  TRect WindowRect() const override { return ToTRect(bar_->geometry()); }
  TRect ClientRectOnScreen() const override {
    const QRect c = bar_->ClientRect();
    return ToTRect(QRect(bar_->geometry().topLeft() + c.topLeft(), c.size()));
  }
  bool NonWindowedChildAt(TPoint p) const override {
    return bar_->childAt(QPoint(p.X, p.Y) - bar_->geometry().topLeft()) != nullptr;
  }
  void SetBounds(const TRect& r) override { bar_->setGeometry(ToQRect(r)); }
  void PlaceWindow(const TRect& r, bool /*frameChanged*/) override {
    bar_->setGeometry(ToQRect(r));
  }
  void SetZOrder(TZOrder order) override {
    fzOrder_ = order;
    ApplyWindowStates();
  }
  void RepaintNow() override {
    bar_->repaint();
    x11::Flush();
  }
  unsigned Style() const override { return style_; }
  void SetStyle(unsigned style) override { style_ = style; }
  unsigned ExStyle() const override { return exStyle_; }
  void SetExStyle(unsigned exStyle) override { exStyle_ = exStyle; }
  void RefreshFrame() override {
    bar_->UpdateMargins();
    bar_->update();
  }
  bool IsActiveWindow() const override { return bar_->isActiveWindow(); }

  void StartHideTimer(int intervalMs) override {
    if (timer_ == nullptr) {
      timer_ = new QTimer(bar_);
      QObject::connect(timer_, &QTimer::timeout, bar_, [this] {
        SetMessagePos(QCursor::pos());
        bar_->HideTimerTick();
        SetMessagePos(std::nullopt);
      });
    }
    timer_->start(intervalMs);
  }
  void SetHideTimerInterval(int intervalMs) override {
    if (timer_ != nullptr)
      timer_->setInterval(intervalMs);
  }
  void StopHideTimer() override {
    if (timer_ != nullptr)
      timer_->stop();
  }
  void PostEnterAndExitSizeMove() override {
    QMetaObject::invokeMethod(
        bar_,
        [bar = bar_] {
          if (!bar->HandleCreated())
            return;
          bar->HandleEnterSizeMove();
          bar->HandleExitSizeMove();
        },
        Qt::QueuedConnection);
  }
  void SetTaskbarEntryVisible(bool visible) override {
    taskbarEntry_ = visible;
    ApplyWindowStates();
  }
  void InformationBox(const std::string& caption, const std::string& text) override {
    QMessageBox::information(bar_, QString::fromStdString(caption), QString::fromStdString(text));
  }

  // The window-manager states follow the z-order and taskbar rules. Also run once the
  // window is mapped, because the requests to an unmapped window are only properties.
  void ApplyWindowStates() {
    if (x11::Display() == nullptr)
      return;
    const std::uintptr_t w = bar_->NativeWindowId();
    x11::SetWindowState(w, "_NET_WM_STATE_ABOVE", fzOrder_ == TZOrder::TopMost);
    x11::SetWindowState(w, "_NET_WM_STATE_BELOW", fzOrder_ == TZOrder::Bottom);
    x11::SetWindowState(w, "_NET_WM_STATE_SKIP_TASKBAR", !taskbarEntry_);
    if (fzOrder_ == TZOrder::TopMost && bar_->isVisible())
      bar_->raise();
  }

  TZOrder ZOrder() const { return fzOrder_; }
  bool TaskbarEntry() const { return taskbarEntry_; }

 private:
  int ScrollBarExtent() const {
    QStyle* style = QApplication::style();
    return style != nullptr ? style->pixelMetric(QStyle::PM_ScrollBarExtent) : 16;
  }

  TAppBar* bar_;
  QElapsedTimer clock_;
  std::optional<QPoint> messagePos_;
  std::optional<Qt::MouseButtons> messageButtons_;
  QTimer* timer_ = nullptr;
  unsigned style_ = wsCaption | wsSysMenu;
  unsigned exStyle_ = 0;
  TZOrder fzOrder_ = TZOrder::NoTopMost;
  bool taskbarEntry_ = true;
};

TAppBar::TAppBar(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      TAppBarCore(std::make_unique<TAppBarWindowPlatform>(this), DefaultToolbarService()) {
  windowPlatform_ = static_cast<TAppBarWindowPlatform*>(&Platform());
  Init();
}

TAppBar::TAppBar(std::unique_ptr<TAppBarPlatform> platform, TDesktopToolbarService& service,
                 QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      TAppBarCore(std::move(platform), service) {
  Init();
}

TAppBar::~TAppBar() {
  DestroyHandle();
}

void TAppBar::Init() {
  unsigned style = Platform().Style();
  unsigned exStyle = Platform().ExStyle();
  AdjustCreateStyles(style, exStyle);
  Platform().SetStyle(style);
  Platform().SetExStyle(exStyle);
  setMouseTracking(true);
  UpdateMargins();
}

void TAppBar::CreateHandle() {
  if (HandleCreated() || destroyed_)
    return;
  if (x11::Display() != nullptr)
    winId();  // the strut and states need the X window
  HandleCreate();
}

void TAppBar::DestroyHandle() {
  if (destroyed_)
    return;
  destroyed_ = true;
  HandleDestroy();
}

std::uintptr_t TAppBar::NativeWindowId() const {
  if (x11::Display() == nullptr || !testAttribute(Qt::WA_WState_Created))
    return 0;
  return std::uintptr_t(effectiveWinId());
}

void TAppBar::Minimize() {
  if (!CanMinimize())
    return;
  if (windowState().testFlag(Qt::WindowMinimized))
    setWindowState(windowState() & ~Qt::WindowMinimized);
  showMinimized();
}

QRect TAppBar::ClientRect() const {
  return contentsRect();
}

void TAppBar::UpdateMargins() {
  const int caption = (Platform().Style() & wsCaption) != 0 ? CaptionHeight : 0;
  setContentsMargins(FrameSize, FrameSize + caption, FrameSize, FrameSize);
}

void TAppBar::StyleForEdge(bool proposed, TAppBarEdge edge) {
  TAppBarCore::StyleForEdge(proposed, edge);
  if (proposed || edge == abeUnknown || x11::Display() == nullptr)
    return;
  // Window managers keep ordinary windows mostly on screen; a dock may leave it, as an
  // auto-hidden bar must. The type is read when the window is mapped, so map it anew.
  const bool dock = edge != abeFloat;
  if (dock == dockType_)
    return;
  dockType_ = dock;
  if (dock && windowState().testFlag(Qt::WindowMinimized))
    setWindowState(windowState() & ~Qt::WindowMinimized);  // a dock is never minimised
  x11::SetDockType(NativeWindowId(), dock);
  if (isVisible()) {
    hide();
    x11::WaitUntilWithdrawn(NativeWindowId(), 1000);
    show();
    // The manager dropped the window's states when it let the window go.
    if (windowPlatform_ != nullptr)
      windowPlatform_->ApplyWindowStates();
  }
}

QRect TAppBar::CloseBoxRect() const {
  const unsigned captionStyles = wsCaption | wsSysMenu;
  if ((Platform().Style() & captionStyles) != captionStyles)
    return {};
  const int side = CaptionHeight - 4;
  return QRect(width() - FrameSize - 2 - side, FrameSize + 2, side, side);
}

THitCode TAppBar::FrameworkHitTest(QPoint pos) const {
  const int w = width();
  const int h = height();
  if (pos.x() < 0 || pos.y() < 0 || pos.x() >= w || pos.y() >= h)
    return HTNOWHERE;
  // Corners take a little more than the frame, as the sizing frame does.
  const int corner = FrameSize + 8;
  const bool left = pos.x() < FrameSize;
  const bool right = pos.x() >= w - FrameSize;
  const bool top = pos.y() < FrameSize;
  const bool bottom = pos.y() >= h - FrameSize;
  const bool nearLeft = pos.x() < corner;
  const bool nearRight = pos.x() >= w - corner;
  const bool nearTop = pos.y() < corner;
  const bool nearBottom = pos.y() >= h - corner;
  if ((top && nearLeft) || (left && nearTop))
    return HTTOPLEFT;
  if ((top && nearRight) || (right && nearTop))
    return HTTOPRIGHT;
  if ((bottom && nearLeft) || (left && nearBottom))
    return HTBOTTOMLEFT;
  if ((bottom && nearRight) || (right && nearBottom))
    return HTBOTTOMRIGHT;
  if (left)
    return HTLEFT;
  if (right)
    return HTRIGHT;
  if (top)
    return HTTOP;
  if (bottom)
    return HTBOTTOM;
  if (CloseBoxRect().contains(pos))
    return HTCLOSE;
  if ((Platform().Style() & wsCaption) != 0 && pos.y() < FrameSize + CaptionHeight) {
    return HTCAPTION;
  }
  return HTCLIENT;
}

bool TAppBar::event(QEvent* e) {
  const bool handled = QWidget::event(e);
  switch (e->type()) {
    case QEvent::Paint:
      PaintFrame();
      if (windowPlatform_ != nullptr && !statesAppliedAfterMap_) {
        statesAppliedAfterMap_ = true;
        windowPlatform_->ApplyWindowStates();
      }
      break;
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
      if (HandleCreated())
        HandleActivate(e->type() == QEvent::WindowActivate);
      break;
    case QEvent::Move:
    case QEvent::Resize:
      HandleWindowPosChanged();
      break;
    case QEvent::Hide:
      statesAppliedAfterMap_ = false;
      break;
    default:
      break;
  }
  return handled;
}

void TAppBar::PaintFrame() {
  QPainter painter(this);
  const QPalette& pal = palette();
  const QRect all = rect();
  painter.setPen(Qt::NoPen);
  painter.setBrush(pal.color(QPalette::Button));
  // The frame: four strips around the client area.
  painter.drawRect(0, 0, all.width(), FrameSize);
  painter.drawRect(0, all.height() - FrameSize, all.width(), FrameSize);
  painter.drawRect(0, 0, FrameSize, all.height());
  painter.drawRect(all.width() - FrameSize, 0, FrameSize, all.height());
  painter.setPen(pal.color(QPalette::Shadow));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(all.adjusted(0, 0, -1, -1));
  if ((Platform().Style() & wsCaption) == 0)
    return;
  // The small caption of a floating tool window.
  const QRect caption(FrameSize, FrameSize, all.width() - 2 * FrameSize, CaptionHeight);
  painter.fillRect(caption,
                   isActiveWindow() ? pal.color(QPalette::Highlight) : pal.color(QPalette::Mid));
  QFont font = painter.font();
  font.setPixelSize(CaptionHeight - 4);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(isActiveWindow() ? pal.color(QPalette::HighlightedText)
                                  : pal.color(QPalette::Window));
  const QRect box = CloseBoxRect();
  const int textRight = box.isEmpty() ? 3 : caption.right() - box.left() + 3;
  painter.drawText(caption.adjusted(3, 0, -textRight, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   windowTitle());
  if (box.isEmpty())
    return;
  // The close box: a raised button with a cross.
  painter.fillRect(box, pal.color(QPalette::Button));
  painter.setPen(pal.color(QPalette::Light));
  painter.drawLine(box.topLeft(), box.topRight());
  painter.drawLine(box.topLeft(), box.bottomLeft());
  painter.setPen(pal.color(QPalette::Shadow));
  painter.drawLine(box.bottomLeft(), box.bottomRight());
  painter.drawLine(box.topRight(), box.bottomRight());
  QPen cross(pal.color(QPalette::ButtonText));
  cross.setWidth(closeBoxPressed_ ? 2 : 1);
  painter.setPen(cross);
  const QRect inner = box.adjusted(3, 3, -3, -3);
  painter.drawLine(inner.topLeft(), inner.bottomRight());
  painter.drawLine(inner.topRight(), inner.bottomLeft());
}

namespace {

std::optional<TSizingSide> SideOf(THitCode c) {
  switch (c) {
    case HTLEFT:
      return TSizingSide::Left;
    case HTRIGHT:
      return TSizingSide::Right;
    case HTTOP:
      return TSizingSide::Top;
    case HTBOTTOM:
      return TSizingSide::Bottom;
    case HTTOPLEFT:
      return TSizingSide::TopLeft;
    case HTTOPRIGHT:
      return TSizingSide::TopRight;
    case HTBOTTOMLEFT:
      return TSizingSide::BottomLeft;
    case HTBOTTOMRIGHT:
      return TSizingSide::BottomRight;
    default:
      return std::nullopt;
  }
}

bool Moves(TSizingSide side, bool leftEdge) {
  switch (side) {
    case TSizingSide::Left:
    case TSizingSide::TopLeft:
    case TSizingSide::BottomLeft:
      return leftEdge;
    case TSizingSide::Right:
    case TSizingSide::TopRight:
    case TSizingSide::BottomRight:
      return !leftEdge;
    default:
      return false;
  }
}

bool MovesVert(TSizingSide side, bool topEdge) {
  switch (side) {
    case TSizingSide::Top:
    case TSizingSide::TopLeft:
    case TSizingSide::TopRight:
      return topEdge;
    case TSizingSide::Bottom:
    case TSizingSide::BottomLeft:
    case TSizingSide::BottomRight:
      return !topEdge;
    default:
      return false;
  }
}

}  // namespace

void TAppBar::UpdateCursor(THitCode code) {
  switch (code) {
    case HTLEFT:
    case HTRIGHT:
      setCursor(Qt::SizeHorCursor);
      break;
    case HTTOP:
    case HTBOTTOM:
      setCursor(Qt::SizeVerCursor);
      break;
    case HTTOPLEFT:
    case HTBOTTOMRIGHT:
      setCursor(Qt::SizeFDiagCursor);
      break;
    case HTTOPRIGHT:
    case HTBOTTOMLEFT:
      setCursor(Qt::SizeBDiagCursor);
      break;
    default:
      unsetCursor();
      break;
  }
}

void TAppBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !HandleCreated() || drag_ != TDrag::None) {
    QWidget::mousePressEvent(event);
    return;
  }
  const QPoint global = event->globalPosition().toPoint();
  if (windowPlatform_ != nullptr)
    windowPlatform_->SetMessageButtons(event->buttons());
  const THitCode code =
      HandleHitTest({global.x(), global.y()}, FrameworkHitTest(event->position().toPoint()));
  if (windowPlatform_ != nullptr)
    windowPlatform_->SetMessageButtons(std::nullopt);
  if (code == HTCLOSE) {
    // Closes on release over the box, like a button.
    closeBoxPressed_ = true;
    update(CloseBoxRect());
    event->accept();
    return;
  }
  if (code == HTCAPTION) {
    drag_ = TDrag::Move;
    dragCursor_ = global;
    dragRect_ = geometry();
  } else if (auto side = SideOf(code)) {
    drag_ = TDrag::Size;
    sizingSide_ = *side;
    sizeStartCursor_ = global;
    sizeStartRect_ = geometry();
  } else {
    QWidget::mousePressEvent(event);
    return;
  }
  HandleEnterSizeMove();
  event->accept();
}

void TAppBar::mouseMoveEvent(QMouseEvent* event) {
  const QPoint global = event->globalPosition().toPoint();
  if (windowPlatform_ != nullptr)
    windowPlatform_->SetMessagePos(global);
  if (drag_ == TDrag::Move) {
    TRect r = ToTRect(dragRect_.translated(global - dragCursor_));
    dragCursor_ = global;
    HandleMoving(r);
    dragRect_ = ToQRect(r);
    setGeometry(dragRect_);
  } else if (drag_ == TDrag::Size) {
    const QPoint delta = global - sizeStartCursor_;
    QRect q = sizeStartRect_;
    if (Moves(sizingSide_, true))
      q.setLeft(q.left() + delta.x());
    if (Moves(sizingSide_, false))
      q.setRight(q.right() + delta.x());
    if (MovesVert(sizingSide_, true))
      q.setTop(q.top() + delta.y());
    if (MovesVert(sizingSide_, false))
      q.setBottom(q.bottom() + delta.y());
    // The tracking limits first, keeping the side opposite the dragged one in place.
    const TMinMaxInfo limits = HandleGetMinMaxInfo();
    const int w = std::clamp(q.width(), std::max(limits.MinTrackWidth, 1),
                             std::max({limits.MaxTrackWidth, limits.MinTrackWidth, 1}));
    const int h = std::clamp(q.height(), std::max(limits.MinTrackHeight, 1),
                             std::max({limits.MaxTrackHeight, limits.MinTrackHeight, 1}));
    TRect r = ToTRect(q);
    if (Moves(sizingSide_, true)) {
      r.Left = r.Right - w;
    } else {
      r.Right = r.Left + w;
    }
    if (MovesVert(sizingSide_, true)) {
      r.Top = r.Bottom - h;
    } else {
      r.Bottom = r.Top + h;
    }
    HandleSizing(sizingSide_, r);
    setGeometry(ToQRect(r));
  } else if (HandleCreated()) {
    const THitCode framework = FrameworkHitTest(event->position().toPoint());
    if (framework != HTCLIENT && framework != HTNOWHERE)
      HandleNcMouseMove();
    UpdateCursor(HandleHitTest({global.x(), global.y()}, framework));
  }
  if (windowPlatform_ != nullptr)
    windowPlatform_->SetMessagePos(std::nullopt);
  QWidget::mouseMoveEvent(event);
}

void TAppBar::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && closeBoxPressed_) {
    closeBoxPressed_ = false;
    update(CloseBoxRect());
    event->accept();
    if (CloseBoxRect().contains(event->position().toPoint()))
      close();
    return;
  }
  if (event->button() == Qt::LeftButton && drag_ != TDrag::None) {
    EndDrag();
    event->accept();
    return;
  }
  QWidget::mouseReleaseEvent(event);
}

void TAppBar::EndDrag() {
  drag_ = TDrag::None;
  HandleExitSizeMove();
}

void TAppBar::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  CreateHandle();
}

}  // namespace quellion
