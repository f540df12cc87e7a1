#include "app/results/GaugeStatusBar.h"

#include <QPainter>

#include "platform/TextEncoding.h"

namespace quellion {
namespace {

constexpr int kPanelGap = 2;

void DrawLoweredBevel(QPainter& painter, const QRect& r, const QPalette& pal) {
  painter.setPen(pal.color(QPalette::Dark));
  painter.drawLine(r.topLeft(), r.topRight());
  painter.drawLine(r.topLeft(), r.bottomLeft());
  painter.setPen(pal.color(QPalette::Light));
  painter.drawLine(r.bottomLeft(), r.bottomRight());
  painter.drawLine(r.topRight(), r.bottomRight());
}

}  // namespace

TGaugeStatusBar::TGaugeStatusBar(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("dfsStatusBar1"));
  setFixedHeight(kHeight);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  timer_.setInterval(kTickMs);
  connect(&timer_, &QTimer::timeout, this, &TGaugeStatusBar::GaugeTick);
}

void TGaugeStatusBar::setGaugeEnabled(bool enabled) {
  if (enabled == gaugeEnabled_)
    return;
  gaugeEnabled_ = enabled;
  position_ = 0;
  movingRight_ = true;
  if (enabled)
    timer_.start();
  else
    timer_.stop();
  update(GaugePanelRect());
}

void TGaugeStatusBar::setStatusText(const QString& text) {
  if (text == statusText_)
    return;
  statusText_ = text;
  update(TextPanelRect());
}

void TGaugeStatusBar::setStatusText(const std::string& text) {
  setStatusText(QString::fromStdString(DecodeForDisplay(text)));
}

void TGaugeStatusBar::GaugeTick() {
  if (!gaugeEnabled_)
    return;
  position_ += movingRight_ ? kStepPixels : -kStepPixels;
  if (movingRight_ && position_ >= kGaugePanelWidth - 1)
    movingRight_ = false;
  else if (!movingRight_ && position_ <= -kBlockWidth)
    movingRight_ = true;
  update(GaugePanelRect());
}

QRect TGaugeStatusBar::GaugePanelRect() const {
  return QRect(0, 0, kGaugePanelWidth, height());
}

QRect TGaugeStatusBar::TextPanelRect() const {
  const int left = kGaugePanelWidth + kPanelGap;
  return QRect(left, 0, std::max(0, width() - left), height());
}

QFont TGaugeStatusBar::StatusTextFont() const {
  // A narrow docked bar: the text is set tighter, then smaller, rather than cut.
  const int room = TextPanelRect().width() - 5;
  QFont text = font();
  if (QFontMetrics(text).horizontalAdvance(statusText_) <= room)
    return text;
  text.setStretch(QFont::SemiCondensed);
  const qreal smallest = std::min(6.0, text.pointSizeF());
  for (qreal size = text.pointSizeF(); size >= smallest; size -= 0.5) {
    text.setPointSizeF(size);
    if (QFontMetrics(text).horizontalAdvance(statusText_) <= room)
      break;
  }
  return text;
}

QColor TGaugeStatusBar::BlockColumnColor(int column) const {
  const QColor from = palette().color(QPalette::Window);
  const QColor to = palette().color(QPalette::Highlight);
  const double t = static_cast<double>(std::clamp(column, 0, kBlockWidth - 1)) / (kBlockWidth - 1);
  auto mix = [t](int a, int b) { return static_cast<int>(a + (b - a) * t + 0.5); };
  return QColor(mix(from.red(), to.red()), mix(from.green(), to.green()),
                mix(from.blue(), to.blue()));
}

void TGaugeStatusBar::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QPalette& pal = palette();
  painter.fillRect(rect(), pal.color(QPalette::Window));

  const QRect gaugePanel = GaugePanelRect();
  DrawLoweredBevel(painter, gaugePanel, pal);
  if (gaugeEnabled_) {
    const QRect inside = gaugePanel.adjusted(1, 1, -1, -1);
    painter.save();
    painter.setClipRect(inside);
    for (int column = 0; column < kBlockWidth; ++column) {
      // Moving left the block is mirrored: its highlight end leads on the left.
      const int shade = movingRight_ ? column : kBlockWidth - 1 - column;
      const int x = gaugePanel.left() + position_ + column;
      if (x < inside.left() || x > inside.right())
        continue;
      painter.setPen(BlockColumnColor(shade));
      painter.drawLine(x, inside.top(), x, inside.bottom());
    }
    painter.restore();
  }

  const QRect textPanel = TextPanelRect();
  DrawLoweredBevel(painter, textPanel, pal);
  painter.setPen(pal.color(QPalette::WindowText));
  painter.setFont(StatusTextFont());
  painter.drawText(textPanel.adjusted(3, 1, -2, -1), Qt::AlignLeft | Qt::AlignVCenter, statusText_);
}

}  // namespace quellion
