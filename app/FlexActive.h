#pragma once

#include <QFrame>

namespace quellion {

// The advertising banners hosted on the main window belong to an outside vendor; the
// window only ever calls one operation of one of them. Plain placeholders stand in
// their place; a real banner (or a test) supplies its own TAdvertisingBanner.
class TAdvertisingBanner {
 public:
  virtual ~TAdvertisingBanner() = default;
  // The vendor's one operation; the meaning of the three integers is the vendor's.
  virtual void Command(int a, int b, int c) = 0;
};

// Placeholder of the small banner (FlexActive1): draws an empty, sunken area.
class TFlexActive : public QFrame {
  Q_OBJECT

 public:
  explicit TFlexActive(QWidget* parent = nullptr);
};

// Placeholder of the banner the window talks to (FlexActivePlus1). Its Command does
// nothing.
class TFlexActivePlus : public QFrame, public TAdvertisingBanner {
  Q_OBJECT

 public:
  explicit TFlexActivePlus(QWidget* parent = nullptr);
  void Command(int, int, int) override {}
};

}  // namespace quellion
