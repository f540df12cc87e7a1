#include "app/ControlAlign.h"

#include <QEvent>
#include <QGroupBox>
#include <QStringList>
#include <algorithm>
#include <vector>

namespace quellion {
namespace {

constexpr const char* kAlignProperty = "align";
constexpr const char* kAnchorsProperty = "anchors";
constexpr const char* kDesignProperty = "quellionDesignRect";
constexpr const char* kDesignSizeProperty = "quellionDesignSize";

enum class TAlign { None, Top, Bottom, Left, Right, Client };

TAlign AlignOf(const QWidget* w) {
  const QString a = w->property(kAlignProperty).toString();
  if (a == QLatin1String("alTop"))
    return TAlign::Top;
  if (a == QLatin1String("alBottom"))
    return TAlign::Bottom;
  if (a == QLatin1String("alLeft"))
    return TAlign::Left;
  if (a == QLatin1String("alRight"))
    return TAlign::Right;
  if (a == QLatin1String("alClient"))
    return TAlign::Client;
  return TAlign::None;
}

struct TAnchors {
  bool left = true, top = true, right = false, bottom = false;
};

TAnchors AnchorsOf(const QWidget* w) {
  const QVariant v = w->property(kAnchorsProperty);
  if (!v.isValid())
    return {};
  const QStringList parts = v.toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
  TAnchors a{false, false, false, false};
  for (const QString& raw : parts) {
    const QString p = raw.trimmed();
    if (p == QLatin1String("akLeft"))
      a.left = true;
    if (p == QLatin1String("akTop"))
      a.top = true;
    if (p == QLatin1String("akRight"))
      a.right = true;
    if (p == QLatin1String("akBottom"))
      a.bottom = true;
  }
  return a;
}

bool IsManaged(const QWidget* w) {
  return w->property(kAlignProperty).isValid() || w->property(kAnchorsProperty).isValid();
}

QList<QWidget*> ManagedChildren(const QWidget* parent) {
  QList<QWidget*> result;
  for (QObject* o : parent->children()) {
    auto* w = qobject_cast<QWidget*>(o);
    if (w && !w->isWindow() && IsManaged(w))
      result.append(w);
  }
  return result;
}

}  // namespace

TControlAlign::TControlAlign(QWidget* parent)
    : QObject(parent),
      parent_(parent),
      designSize_(parent->property(kDesignSizeProperty).toSize()) {}

void TControlAlign::Install(QWidget* root) {
  // Record every design rectangle before anything moves.
  QList<QWidget*> parents;
  const QList<QWidget*> all = root->findChildren<QWidget*>();
  for (QWidget* w : all) {
    if (!IsManaged(w))
      continue;
    w->setProperty(kDesignProperty, w->geometry());
    QWidget* p = w->parentWidget();
    if (p && !parents.contains(p) &&
        !p->findChild<TControlAlign*>(QString(), Qt::FindDirectChildrenOnly)) {
      p->setProperty(kDesignSizeProperty, p->size());
      parents.append(p);
    }
  }
  // findChildren lists parents before their children, so outer areas settle first.
  for (QWidget* p : parents) {
    auto* align = new TControlAlign(p);
    p->installEventFilter(align);
    for (QWidget* child : ManagedChildren(p))
      child->installEventFilter(align);
    align->Arrange();
  }
}

QRect TControlAlign::ClientRect(const QWidget* parent) {
  QRect r = parent->contentsRect();
  if (qobject_cast<const QGroupBox*>(parent)) {
    // Keep clear of the caption and the frame line, as a classic group box does.
    r.adjust(2, parent->fontMetrics().height() + 2, -2, -2);
  }
  return r;
}

bool TControlAlign::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::Resize:
      if (watched == parent_)
        Arrange();
      break;
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
      if (watched != parent_)
        Arrange();
      break;
    default:
      break;
  }
  return false;
}

void TControlAlign::Arrange() {
  if (arranging_)
    return;
  arranging_ = true;
  QRect free = ClientRect(parent_);
  const QSize size = parent_->size();

  QList<QWidget*> children = ManagedChildren(parent_);
  auto design = [](const QWidget* w) { return w->property(kDesignProperty).toRect(); };

  std::vector<QWidget*> tops, bottoms, lefts, rights, clients;
  for (QWidget* w : children) {
    switch (AlignOf(w)) {
      case TAlign::Top:
        tops.push_back(w);
        break;
      case TAlign::Bottom:
        bottoms.push_back(w);
        break;
      case TAlign::Left:
        lefts.push_back(w);
        break;
      case TAlign::Right:
        rights.push_back(w);
        break;
      case TAlign::Client:
        clients.push_back(w);
        break;
      case TAlign::None: {
        // Anchored: keep the distances to the anchored sides of the design.
        const QRect d = design(w);
        const TAnchors a = AnchorsOf(w);
        int left = d.left(), width = d.width(), top = d.top(), height = d.height();
        const int rightGap = designSize_.width() - (d.left() + d.width());
        const int bottomGap = designSize_.height() - (d.top() + d.height());
        if (a.right && a.left)
          width = std::max(0, size.width() - rightGap - left);
        else if (a.right)
          left = size.width() - rightGap - width;
        if (a.bottom && a.top)
          height = std::max(0, size.height() - bottomGap - top);
        else if (a.bottom)
          top = size.height() - bottomGap - height;
        w->setGeometry(left, top, width, height);
        break;
      }
    }
  }
  std::stable_sort(tops.begin(), tops.end(),
                   [&](QWidget* a, QWidget* b) { return design(a).top() < design(b).top(); });
  std::stable_sort(bottoms.begin(), bottoms.end(),
                   [&](QWidget* a, QWidget* b) { return design(a).bottom() > design(b).bottom(); });
  std::stable_sort(lefts.begin(), lefts.end(),
                   [&](QWidget* a, QWidget* b) { return design(a).left() < design(b).left(); });
  std::stable_sort(rights.begin(), rights.end(),
                   [&](QWidget* a, QWidget* b) { return design(a).right() > design(b).right(); });

  // isHidden, not isVisible: the window may not be shown yet.
  for (QWidget* w : tops) {
    if (w->isHidden())
      continue;
    const int h = design(w).height();
    w->setGeometry(free.left(), free.top(), free.width(), h);
    free.setTop(free.top() + h);
  }
  for (QWidget* w : bottoms) {
    if (w->isHidden())
      continue;
    const int h = design(w).height();
    w->setGeometry(free.left(), free.bottom() + 1 - h, free.width(), h);
    free.setBottom(free.bottom() - h);
  }
  for (QWidget* w : lefts) {
    if (w->isHidden())
      continue;
    const int wd = design(w).width();
    w->setGeometry(free.left(), free.top(), wd, free.height());
    free.setLeft(free.left() + wd);
  }
  for (QWidget* w : rights) {
    if (w->isHidden())
      continue;
    const int wd = design(w).width();
    w->setGeometry(free.right() + 1 - wd, free.top(), wd, free.height());
    free.setRight(free.right() - wd);
  }
  for (QWidget* w : clients) {
    if (w->isHidden())
      continue;
    w->setGeometry(free.left(), free.top(), std::max(0, free.width()), std::max(0, free.height()));
  }
  arranging_ = false;
}

}  // namespace quellion
