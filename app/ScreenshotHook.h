#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace quellion {

class TMainForm;

// A hook for the screenshot test, inert unless QUELLION_SCREENSHOT names a PNG file:
// once the window is up it types QUELLION_SCREENSHOT_KEYWORDS (default "quellion")
// into the keyword box, starts the search, and when the search has ended saves a
// picture of the window there, writes one line "screenshot: <rows> rows; title
// "<title>"; status "<status text>"; keywords "<keyword box>"" to stderr and closes the
// window. With QUELLION_SCREENSHOT_TYPE set, the keywords and Enter are typed as key
// presses to whatever has the focus, as a user would right after start. The program's
// exit status is then 0 when the picture was saved, 2 otherwise (also when the search
// did not end in time).
class TScreenshotHook final : public QObject {
  Q_OBJECT

 public:
  // Returns nullptr when the environment does not ask for a screenshot.
  static TScreenshotHook* Install(TMainForm& form);

  int ExitCode() const { return exitCode_; }

 private:
  TScreenshotHook(TMainForm& form, QString path, QString keywords);
  void Start();
  void Poll();
  void Finish(bool searchEnded);

  TMainForm& form_;
  QString path_;
  QString keywords_;
  QTimer poll_;
  int elapsedMs_ = 0;
  int settledTicks_ = 0;
  int exitCode_ = 2;
  bool started_ = false;
  bool typed_ = false;
};

}  // namespace quellion
