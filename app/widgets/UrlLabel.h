#pragma once

#include <QLabel>
#include <functional>

class QMenu;

namespace quellion {

// A link label: blue, underlined, hand cursor; red while the left button is held
// down on it. A left click (release over the label) runs OnClick; a right-button
// press opens a menu with the single item "&Copy", which copies the caption to the
// clipboard.
class TUrlLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TUrlLabel(QWidget* parent = nullptr);

  std::function<void(TUrlLabel&)> OnClick;

  QMenu* ContextMenu() const { return menu_; }
  bool IsPressed() const { return pressed_; }
  // What "&Copy" does.
  void CopyCaption();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void SetLinkColor(const QColor& color);

  QMenu* menu_;
  bool pressed_ = false;
};

}  // namespace quellion
