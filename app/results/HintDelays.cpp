#include "app/results/HintDelays.h"

#include <QApplication>
#include <QEvent>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QWidget>

#include "app/results/ResultsGrid.h"

namespace quellion {
namespace {

// The pause before a tool tip comes from the style; every other answer is the base
// style's.
class THintPauseStyle final : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;

  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_ToolTip_WakeUpDelay)
      return TResultsGrid::kHintPauseMs;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

// How long a tool tip stays is the widget's own duration: a widget that sets none is
// given the program's just before its tip is shown.
class THintHidePause final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ToolTip && watched->isWidgetType()) {
      auto* widget = static_cast<QWidget*>(watched);
      if (widget->toolTipDuration() < 0)
        widget->setToolTipDuration(TResultsGrid::kHintHidePauseMs);
    }
    return false;
  }
};

bool set = false;

}  // namespace

void SetProgramHintDelays() {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (set || app == nullptr)
    return;
  set = true;
  // A fresh instance of the style in use, owned by the proxy (the application deletes
  // its old style when it takes the new one).
  QStyle* base = QStyleFactory::create(QApplication::style()->name());
  QApplication::setStyle(new THintPauseStyle(base));
  app->installEventFilter(new THintHidePause(app));
}

bool ProgramHintDelaysSet() {
  return set;
}

}  // namespace quellion
