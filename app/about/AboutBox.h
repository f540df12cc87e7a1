#pragma once

#include <QDialog>
#include <memory>

#include "app/widgets/VersionInfo.h"

namespace Ui {
class TAboutBox;
}

namespace quellion {

class TDesktopShell;

// The about box: product, version and description from the build's version
// information, whom to write to, and the web and mail links. 382 x 330 client pixels,
// centred on the screen when shown. Show it modally with exec().
class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 382;
  static constexpr int kClientHeight = 330;

  // shell (borrowed) opens the links; nullptr: the desktop's own.
  explicit TAboutBox(QWidget* parent = nullptr, TDesktopShell* shell = nullptr,
                     const TVersionInfo& version = TVersionInfo::FromBuild());
  ~TAboutBox() override;

  Ui::TAboutBox& Form() const { return *ui_; }

  // What clicks on the two links do. Web: "http://" + caption with the default
  // handler, else the programs netscape and then iexplore with the address as their
  // one argument, else the message "Sorry your browser could not be found".
  // Mail: "mailto:" + caption + "?subject=", nothing shown on failure.
  void OpenWebLink();
  void OpenMailLink();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ShowVersionInfo(const TVersionInfo& version);
  TDesktopShell& Shell() const;

  std::unique_ptr<Ui::TAboutBox> ui_;
  TDesktopShell* shell_;
};

}  // namespace quellion
