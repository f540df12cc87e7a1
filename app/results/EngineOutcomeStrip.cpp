#include "app/results/EngineOutcomeStrip.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

#include "platform/TextEncoding.h"

namespace quellion {
namespace {

constexpr int kGap = 2;
constexpr int kDot = 9;  // the coloured mark's diameter

QColor MarkColor(TEngineOutcomeStrip::TMark mark) {
  switch (mark) {
    case TEngineOutcomeStrip::TMark::Running:
      return QColor(0x9e, 0x9e, 0x9e);
    case TEngineOutcomeStrip::TMark::Found:
      return QColor(0x2e, 0x9e, 0x3e);
    case TEngineOutcomeStrip::TMark::Empty:
      return QColor(0xe0, 0xa0, 0x10);
    case TEngineOutcomeStrip::TMark::Failed:
      return QColor(0xd0, 0x20, 0x20);
    case TEngineOutcomeStrip::TMark::Resting:
      return QColor(0x7b, 0x3f, 0xb0);
  }
  return Qt::gray;
}

QString Decoded(const std::string& text) {
  return QString::fromStdString(DecodeForDisplay(text));
}

QString EndInWords(const TEngineOutcome& outcome) {
  switch (outcome.End) {
    case TEngineEnd::Running:
      return QStringLiteral("still searching");
    case TEngineEnd::TableFull:
      return QStringLiteral("stopped when the table was full");
    case TEngineEnd::Stopped:
      return QStringLiteral("stopped by Stop Search");
    case TEngineEnd::NoNewHits:
      return QStringLiteral("no further results");
    case TEngineEnd::RuleEnded:
      return QStringLiteral("reached the engine's last page of results");
    case TEngineEnd::Failed:
      return QStringLiteral("failed: ") + Decoded(outcome.FailText);
    case TEngineEnd::Blocked:
      return QStringLiteral("blocked: ") + Decoded(outcome.FailText);
    case TEngineEnd::Suspended:
      return QStringLiteral("not asked, resting until ") + Decoded(outcome.FailText);
  }
  return {};
}

QString Counted(int n, const char* one, const char* many) {
  return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

// "AllTheWeb" -> "ATW", "Google" -> "Go": the capitals when there are two or more.
QString Initials(const QString& name) {
  QString capitals;
  for (const QChar c : name)
    if (c.isUpper())
      capitals += c;
  return capitals.size() >= 2 ? capitals : name.left(2);
}

}  // namespace

TEngineOutcomeStrip::TEngineOutcomeStrip(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("EngineOutcomeStrip"));
  setFixedHeight(kHeight);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  QFont small = font();
  small.setPointSizeF(std::max(6.0, small.pointSizeF() - 1));
  setFont(small);
  setMouseTracking(true);
  hide();
}

void TEngineOutcomeStrip::SetOutcomes(std::vector<TEngineOutcome> outcomes) {
  outcomes_ = std::move(outcomes);
  setVisible(!outcomes_.empty());
  update();
  // A tooltip already open follows the change.
  if (QToolTip::isVisible() && underMouse()) {
    const QPoint pos = mapFromGlobal(QCursor::pos());
    const int i = MarkAt(pos);
    if (i >= 0)
      QToolTip::showText(QCursor::pos(), MarkToolTip(i), this, MarkRect(i));
  }
}

TEngineOutcomeStrip::TMark TEngineOutcomeStrip::MarkOf(const TEngineOutcome& outcome) {
  switch (outcome.End) {
    case TEngineEnd::Running:
      return TMark::Running;
    case TEngineEnd::Failed:
      return TMark::Failed;
    case TEngineEnd::Blocked:
    case TEngineEnd::Suspended:
      return TMark::Resting;
    default:
      return outcome.Hits > 0 ? TMark::Found : TMark::Empty;
  }
}

QRect TEngineOutcomeStrip::MarkRect(int i) const {
  const int n = static_cast<int>(outcomes_.size());
  if (i < 0 || i >= n)
    return {};
  // Equal shares of the width, each at most wide enough for a long name.
  const int share = std::min((width() - kGap) / n, 90);
  return QRect(kGap + i * share, 1, std::max(0, share - kGap), height() - 2);
}

QString TEngineOutcomeStrip::OutcomeInWords(const TEngineOutcome& outcome) {
  return Decoded(outcome.Engine) + QStringLiteral(": ") + Counted(outcome.Pages, "page", "pages") +
         QStringLiteral(", ") + Counted(outcome.Hits, "result", "results") + QStringLiteral("; ") +
         EndInWords(outcome);
}

QString TEngineOutcomeStrip::MarkToolTip(int i) const {
  if (i < 0 || i >= static_cast<int>(outcomes_.size()))
    return {};
  const TEngineOutcome& outcome = outcomes_[static_cast<size_t>(i)];
  QString tip = OutcomeInWords(outcome);
  if (outcome.End == TEngineEnd::Blocked)
    tip += QStringLiteral(
        "\nThe engine refused this client; it is not asked again for a while."
        "\nRight-click: Try again now");
  else if (outcome.End == TEngineEnd::Suspended)
    tip += QStringLiteral(
        "\nNot asked: the engine rests after it refused this client."
        "\nRight-click: Try again now");
  return tip;
}

QString TEngineOutcomeStrip::MarkLabel(int i) const {
  if (i < 0 || i >= static_cast<int>(outcomes_.size()))
    return {};
  const QString name = Decoded(outcomes_[static_cast<size_t>(i)].Engine);
  const int room = MarkRect(i).width() - kDot - 2;
  for (const QString& label : {name, Initials(name), Initials(name).left(2), name.left(1)})
    if (fontMetrics().horizontalAdvance(label) <= room)
      return label;
  return {};
}

bool TEngineOutcomeStrip::OffersTryAgain(int i) const {
  return i >= 0 && i < static_cast<int>(outcomes_.size()) &&
         MarkOf(outcomes_[static_cast<size_t>(i)]) == TMark::Resting;
}

void TEngineOutcomeStrip::TryAgain(int i) {
  if (OffersTryAgain(i) && OnTryAgain)
    OnTryAgain(outcomes_[static_cast<size_t>(i)].Engine);
}

void TEngineOutcomeStrip::contextMenuEvent(QContextMenuEvent* event) {
  const int i = MarkAt(event->pos());
  if (!OffersTryAgain(i)) {
    QWidget::contextMenuEvent(event);
    return;
  }
  QMenu menu(this);
  const std::string engine = outcomes_[static_cast<size_t>(i)].Engine;
  QAction* again = menu.addAction(tr("Try again now"));
  if (menu.exec(event->globalPos()) == again && OnTryAgain)
    OnTryAgain(engine);  // by name: the outcomes may have changed while the menu was open
}

int TEngineOutcomeStrip::MarkAt(const QPoint& pos) const {
  for (int i = 0; i < static_cast<int>(outcomes_.size()); ++i)
    if (MarkRect(i).contains(pos))
      return i;
  return -1;
}

QSize TEngineOutcomeStrip::sizeHint() const {
  return QSize(100, kHeight);
}

bool TEngineOutcomeStrip::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const int i = MarkAt(help->pos());
    if (i >= 0) {
      QToolTip::showText(help->globalPos(), MarkToolTip(i), this, MarkRect(i));
    } else {
      QStringList lines;
      for (int k = 0; k < static_cast<int>(outcomes_.size()); ++k)
        lines << MarkToolTip(k);
      QToolTip::showText(help->globalPos(), lines.join(QLatin1Char('\n')), this);
    }
    return true;
  }
  return QWidget::event(event);
}

void TEngineOutcomeStrip::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Window));
  painter.setRenderHint(QPainter::Antialiasing, true);
  for (int i = 0; i < static_cast<int>(outcomes_.size()); ++i) {
    const TEngineOutcome& outcome = outcomes_[static_cast<size_t>(i)];
    const QRect r = MarkRect(i);
    const TMark mark = MarkOf(outcome);
    const QRect dot(r.left(), r.center().y() - kDot / 2, kDot, kDot);
    painter.setPen(MarkColor(mark).darker(130));
    painter.setBrush(MarkColor(mark));
    painter.drawEllipse(dot);
    if (mark == TMark::Failed || mark == TMark::Resting) {
      painter.setPen(Qt::white);
      QFont bold = font();
      bold.setBold(true);
      painter.setFont(bold);
      painter.drawText(dot, Qt::AlignCenter,
                       mark == TMark::Failed ? QStringLiteral("!") : QStringLiteral("z"));
      painter.setFont(font());
    }
    const QRect text = r.adjusted(kDot + 2, 0, 0, 0);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, MarkLabel(i));
  }
}

}  // namespace quellion
