#pragma once

#include <QScrollArea>
#include <memory>
#include <string>
#include <vector>

#include "engines/EngineCatalog.h"
#include "settings/SettingsSchema.h"

class QCheckBox;

namespace quellion {

class TDefinedEngine;
class TRegistry;

// The defined engines on the Engines page: one tick box per definition file, scrolling
// when there are many. A definition switched off, and a file
// that could not be loaded, show disabled with the reason as tooltip. The ticks live in
// their own key, "Software\Tarnwick Quellion Defined Engines" (one DWORD per engine
// name), beside the window's remembered values. GUI thread only.
class TDefinedEnginesBox : public QScrollArea {
 public:
  static constexpr const char* kKeyName = kDefinedEnginesKeyName;

  // Fills itself from catalog and places itself in parent (the engines group box)
  // below the classic boxes, following the parent's size.
  TDefinedEnginesBox(QWidget* parent, TEngineCatalog catalog);

  // Where it sits in the parent: from top, height high (-1: down to the parent's
  // bottom margin).
  void SetArea(int top, int height);
  // The height its boxes take without scrolling.
  int RowsHeight() const;

  // Ticks each definition as stored; one with no stored tick as its "default".
  void Restore(const TRegistry& registry);
  void Store(TRegistry& registry) const;

  // The ticked, loadable engines, in the order shown.
  std::vector<std::shared_ptr<const TDefinedEngine>> TickedEngines() const;
  // The definitions of those engines, in the same order.
  std::vector<TEngineDefinition> TickedDefinitions() const;
  // The box of a definition or invalid file, by the text shown; nullptr for none.
  QCheckBox* Box(const QString& text) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Place();

  TEngineCatalog catalog_;
  int top_ = 96;  // below the classic column by default
  int height_ = -1;
  std::vector<QCheckBox*> engineBoxes_;  // one per catalog_.Engines entry
  std::vector<QCheckBox*> invalidBoxes_;
};

}  // namespace quellion
