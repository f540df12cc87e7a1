#include "app/DefinedEnginesBox.h"

#include <QCheckBox>
#include <QEvent>
#include <QFileInfo>
#include <QVBoxLayout>

#include "engines/EngineSource.h"
#include "settings/Registry.h"

namespace quellion {
namespace {

constexpr int kLeft = 8;

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

}  // namespace

TDefinedEnginesBox::TDefinedEnginesBox(QWidget* parent, TEngineCatalog catalog)
    : QScrollArea(parent), catalog_(std::move(catalog)) {
  setObjectName(QStringLiteral("DefinedEnginesBox"));
  setFrameShape(QFrame::NoFrame);
  setWidgetResizable(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  auto* content = new QWidget;
  auto* layout = new QVBoxLayout(content);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (const TEngineDefinition& d : catalog_.Engines) {
    auto* box = new QCheckBox(FromUtf8(d.Name), content);
    box->setObjectName(QStringLiteral("DefinedEngine_") + FromUtf8(d.Name));
    if (d.Enabled) {
      box->setToolTip(FromUtf8(d.SourceFile));
    } else {
      box->setEnabled(false);
      box->setToolTip(QStringLiteral("Switched off in ") + FromUtf8(d.SourceFile));
    }
    layout->addWidget(box);
    engineBoxes_.push_back(box);
  }
  for (const TInvalidDefinition& bad : catalog_.Invalid) {
    const QString label =
        bad.Name.empty() ? QFileInfo(FromUtf8(bad.File)).fileName() : FromUtf8(bad.Name);
    auto* box = new QCheckBox(label, content);
    box->setEnabled(false);
    box->setToolTip(FromUtf8(bad.File + ": " + bad.Reason));
    layout->addWidget(box);
    invalidBoxes_.push_back(box);
  }
  layout->addStretch(1);
  setWidget(content);
  if (parent)
    parent->installEventFilter(this);
  Place();
}

void TDefinedEnginesBox::SetArea(int top, int height) {
  top_ = top;
  height_ = height;
  Place();
}

int TDefinedEnginesBox::RowsHeight() const {
  const int rows = static_cast<int>(engineBoxes_.size() + invalidBoxes_.size());
  return rows * (engineBoxes_.empty() ? 17 : engineBoxes_.front()->sizeHint().height());
}

void TDefinedEnginesBox::Place() {
  const QWidget* parent = parentWidget();
  if (!parent)
    return;
  const int height = height_ >= 0 ? height_ : parent->height() - top_ - kLeft;
  setGeometry(kLeft, top_, std::max(0, parent->width() - 2 * kLeft), std::max(0, height));
}

bool TDefinedEnginesBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize)
    Place();
  return QScrollArea::eventFilter(watched, event);
}

void TDefinedEnginesBox::Restore(const TRegistry& registry) {
  const TRegistryKey* key = registry.FindKey(HKEY_CURRENT_USER, kKeyName);
  for (size_t i = 0; i < engineBoxes_.size(); ++i)
    engineBoxes_[i]->setChecked(
        catalog_.Engines[i].Enabled &&
        ReadDefinedEngineTick(key, catalog_.Engines[i].Name, catalog_.Engines[i].Default));
}

void TDefinedEnginesBox::Store(TRegistry& registry) const {
  TRegistryKey* key = registry.OpenKey(HKEY_CURRENT_USER, kKeyName, true);
  if (!key)
    return;
  // Ticks of engines whose files are gone for now stay as they were.
  for (size_t i = 0; i < engineBoxes_.size(); ++i)
    if (catalog_.Engines[i].Enabled)
      WriteDefinedEngineTick(*key, catalog_.Engines[i].Name, engineBoxes_[i]->isChecked());
}

std::vector<std::shared_ptr<const TDefinedEngine>> TDefinedEnginesBox::TickedEngines() const {
  return TStoredEngineSource().DefinedEngines(TickedDefinitions());
}

std::vector<TEngineDefinition> TDefinedEnginesBox::TickedDefinitions() const {
  std::vector<TEngineDefinition> definitions;
  for (size_t i = 0; i < engineBoxes_.size(); ++i)
    if (engineBoxes_[i]->isChecked() && catalog_.Engines[i].Enabled)
      definitions.push_back(catalog_.Engines[i]);
  return definitions;
}

QCheckBox* TDefinedEnginesBox::Box(const QString& text) const {
  for (QCheckBox* box : engineBoxes_)
    if (box->text() == text)
      return box;
  for (QCheckBox* box : invalidBoxes_)
    if (box->text() == text)
      return box;
  return nullptr;
}

}  // namespace quellion
