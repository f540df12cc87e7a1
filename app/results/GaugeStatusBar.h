#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <string>

namespace quellion {

// dfsStatusBar1: 19 pixels high, panel 0 a 50-pixel indeterminate gauge, panel 1 the
// status text over the rest. GUI thread only: engine tasks hand their status text to
// the GUI thread first.
//
// The gauge is a 100-pixel block shaded column by column from the bar's colour to the
// highlight colour; every 50 ms tick it moves 4 pixels. Moving right it turns once its
// left edge is within one pixel of the panel's right end; moving left it turns once it
// has left the panel (left edge 100 or more pixels left of the panel). Moving left it
// is drawn mirrored so that its highlight end leads. Disabled: blank and still.
class TGaugeStatusBar : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHeight = 19;
  static constexpr int kGaugePanelWidth = 50;
  static constexpr int kBlockWidth = 100;
  static constexpr int kStepPixels = 4;
  static constexpr int kTickMs = 50;

  explicit TGaugeStatusBar(QWidget* parent = nullptr);

  // Panel 0 enabled: the gauge starts at the panel's left end moving right.
  void setGaugeEnabled(bool enabled);
  bool gaugeEnabled() const { return gaugeEnabled_; }

  // Panel 1. The 8-bit form is decoded for display (UTF-8, else Windows-1252).
  void setStatusText(const QString& text);
  void setStatusText(const std::string& text);
  QString statusText() const { return statusText_; }

  // The block's left edge relative to the gauge panel's left, and its direction.
  int GaugePosition() const { return position_; }
  bool GaugeMovingRight() const { return movingRight_; }
  const QTimer& GaugeTimer() const { return timer_; }
  // One timer step; public so tests can step without waiting.
  void GaugeTick();

  QRect GaugePanelRect() const;
  QRect TextPanelRect() const;
  // The font the status text is drawn in: the bar's own, or where the text would not
  // fit the text panel, a tighter and smaller one.
  QFont StatusTextFont() const;
  // The block's colour at column 0..kBlockWidth-1, counted from its trailing end.
  QColor BlockColumnColor(int column) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString statusText_;
  bool gaugeEnabled_ = false;
  int position_ = 0;
  bool movingRight_ = true;
  QTimer timer_;
};

}  // namespace quellion
