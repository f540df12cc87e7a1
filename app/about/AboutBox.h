#pragma once

#include <QDialog>
#include <memory>

#include "app/about/AboutFacts.h"
#include "app/widgets/VersionInfo.h"

namespace Ui {
class TAboutBox;
}

namespace quellion {

class TDesktopShell;

// The about box: product, version and description from the build's version
// information, what it runs on, whom to write to, the web and mail links, and a list
// of facts for a bug report (which "Copy Details" puts on the clipboard). 382 x 444
// client pixels, centred on the screen when shown. Show it modally with exec().
class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 382;
  static constexpr int kClientHeight = 444;

  // shell (borrowed) opens the links; nullptr: the desktop's own. The list shows the
  // build flags and comments when there are any, then facts (default: RunFacts()).
  explicit TAboutBox(QWidget* parent = nullptr, TDesktopShell* shell = nullptr,
                     const TVersionInfo& version = TVersionInfo::FromBuild(),
                     const std::vector<TAboutFact>& facts = RunFacts());
  ~TAboutBox() override;

  Ui::TAboutBox& Form() const { return *ui_; }

  // What clicks on the two links do. Web: "http://" + caption with the default
  // handler, else the programs netscape and then iexplore with the address as their
  // one argument, else the message "Sorry your browser could not be found".
  // Mail: "mailto:" + caption + "?subject=", nothing shown on failure.
  void OpenWebLink();
  void OpenMailLink();
  // The list as "Resource: Value" lines on the clipboard.
  void CopyDetails();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ShowVersionInfo(const TVersionInfo& version, const std::vector<TAboutFact>& facts);
  TDesktopShell& Shell() const;

  std::unique_ptr<Ui::TAboutBox> ui_;
  TDesktopShell* shell_;
};

}  // namespace quellion
