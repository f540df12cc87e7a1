#include "app/widgets/UrlLabel.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>

namespace quellion {

TUrlLabel::TUrlLabel(QWidget* parent) : QLabel(parent), menu_(new QMenu(this)) {
  setTextFormat(Qt::PlainText);
  setCursor(Qt::PointingHandCursor);
  QFont underlined = font();
  underlined.setUnderline(true);
  setFont(underlined);
  SetLinkColor(Qt::blue);
  QAction* copy = menu_->addAction(QStringLiteral("&Copy"));
  copy->setObjectName(QStringLiteral("CopyAction"));
  connect(copy, &QAction::triggered, this, &TUrlLabel::CopyCaption);
}

void TUrlLabel::CopyCaption() {
  QGuiApplication::clipboard()->setText(text());
}

void TUrlLabel::SetLinkColor(const QColor& color) {
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, color);
  setPalette(pal);
}

void TUrlLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressed_ = true;
    SetLinkColor(Qt::red);
  } else if (event->button() == Qt::RightButton) {
    menu_->popup(event->globalPosition().toPoint());
  }
  event->accept();
}

void TUrlLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && pressed_) {
    pressed_ = false;
    SetLinkColor(Qt::blue);
    if (rect().contains(event->position().toPoint()) && OnClick)
      OnClick(*this);
  }
  event->accept();
}

}  // namespace quellion
