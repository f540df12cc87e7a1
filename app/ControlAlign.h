#pragma once

#include <QObject>
#include <QRect>
#include <QSize>
#include <QWidget>

namespace quellion {

// The window's design places every control by absolute bounds, as the form designer
// stored them; some controls also stick to a side of their parent or fill it. The .ui
// file marks those with the dynamic properties
//   "align":   "alTop", "alBottom", "alLeft", "alRight" or "alClient"
//   "anchors": a comma list of "akLeft", "akTop", "akRight", "akBottom"
//              (default "akLeft,akTop": the control keeps its place and size)
// and TControlAlign keeps them placed when a parent changes size or a control is shown
// or hidden. Aligned controls are stacked in the order of their design position (top
// ones from the top down, bottom ones from the bottom up); "alClient" takes what is
// left. Hidden controls take no room, so the others close up.
class TControlAlign final : public QObject {
  Q_OBJECT

 public:
  // Walks root's descendants, records their design bounds and places them once.
  static void Install(QWidget* root);

  // The area of parent that aligned children share (a group box keeps its caption).
  static QRect ClientRect(const QWidget* parent);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  explicit TControlAlign(QWidget* parent);
  void Arrange();

  QWidget* parent_;
  QSize designSize_;
  bool arranging_ = false;
};

}  // namespace quellion
