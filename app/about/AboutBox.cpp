#include "app/about/AboutBox.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>

#include "app/widgets/DesignFont.h"
#include "app/widgets/DesktopShell.h"
#include "app/widgets/ProductPicture.h"
#include "ui_AboutBox.h"

namespace quellion {

TAboutBox::TAboutBox(QWidget* parent, TDesktopShell* shell, const TVersionInfo& version,
                     const std::vector<TAboutFact>& facts)
    : QDialog(parent), ui_(std::make_unique<Ui::TAboutBox>()), shell_(shell) {
  setFont(DesignFont());
  ui_->setupUi(this);
  setFixedSize(kClientWidth, kClientHeight);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  QFont productFont = DesignFont(13, true);  // bold 10 points at 96 dpi
  ui_->ProductLabel->setFont(productFont);
  ui_->Image1->setPixmap(ProductPicture(ui_->Image1->width(), ui_->Image1->height()));

  ui_->Label2->setText(RunsOnText());

  QTreeWidget* list = ui_->ListView1;
  list->header()->setSectionsClickable(false);
  list->header()->setSectionsMovable(false);
  // Long paths are shown whole: the list scrolls sideways rather than cut them.
  list->header()->setStretchLastSection(false);
  list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  list->setTextElideMode(Qt::ElideNone);

  ShowVersionInfo(version, facts);
  connect(ui_->CloseButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(ui_->CopyButton, &QPushButton::clicked, this, &TAboutBox::CopyDetails);

  // Labels without a designed width take the width of their text.
  for (QLabel* label : {ui_->Label2, ui_->Label1, ui_->VersionLabel, ui_->Label5, ui_->Label6,
                        ui_->Label3, ui_->Label7, ui_->Label8, ui_->Label9, ui_->CopyrightLabel}) {
    label->adjustSize();
  }
  for (TUrlLabel* link : {ui_->FPUrlLabel1, ui_->FPUrlLabel2})
    link->adjustSize();
  // The web link and its heading keep a margin from the right edge, whatever the font.
  const int linkWidth = std::max(ui_->Label3->width(), ui_->FPUrlLabel1->width());
  const int linkLeft = std::max(ui_->Label5->geometry().right() + 8, kClientWidth - 8 - linkWidth);
  ui_->Label3->move(linkLeft, ui_->Label3->y());
  ui_->FPUrlLabel1->move(linkLeft, ui_->FPUrlLabel1->y());
  ui_->CloseButton->setFocus();
  ui_->FPUrlLabel1->OnClick = [this](TUrlLabel&) { OpenWebLink(); };
  ui_->FPUrlLabel2->OnClick = [this](TUrlLabel&) { OpenMailLink(); };
}

TAboutBox::~TAboutBox() = default;

TDesktopShell& TAboutBox::Shell() const {
  return shell_ != nullptr ? *shell_ : DefaultDesktopShell();
}

void TAboutBox::ShowVersionInfo(const TVersionInfo& version, const std::vector<TAboutFact>& facts) {
  ui_->ProductLabel->setText(version.ProductName);
  ui_->VersionLabel->setText(version.FileVersionText());
  ui_->DescriptionLabel->setText(version.FileDescription);
  ui_->CopyrightLabel->setText(version.LegalCopyright);
  QTreeWidget* list = ui_->ListView1;
  list->clear();
  const QString flags = version.FileFlagsText();
  if (!flags.isEmpty())
    list->addTopLevelItem(new QTreeWidgetItem({QStringLiteral("Build Flags"), flags}));
  if (!version.Comments.isEmpty())
    list->addTopLevelItem(new QTreeWidgetItem({QStringLiteral("Comments"), version.Comments}));
  for (const auto& [resource, value] : facts) {
    auto* item = new QTreeWidgetItem({resource, value});
    item->setToolTip(1, value);
    list->addTopLevelItem(item);
  }
}

void TAboutBox::CopyDetails() {
  QString text;
  QTreeWidget* list = ui_->ListView1;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = list->topLevelItem(i);
    text += item->text(0) + QStringLiteral(": ") + item->text(1) + QLatin1Char('\n');
  }
  QGuiApplication::clipboard()->setText(text);
}

void TAboutBox::OpenWebLink() {
  const QString address = QStringLiteral("http://") + ui_->FPUrlLabel1->text();
  TDesktopShell& shell = Shell();
  if (shell.ShellOpen(address.toStdString()))
    return;
  for (const QString& browser : {QStringLiteral("netscape"), QStringLiteral("iexplore")}) {
    if (shell.StartProgram(browser, address))
      return;
  }
  shell.ShowMessage(this, QStringLiteral("Sorry your browser could not be found"));
}

void TAboutBox::OpenMailLink() {
  const QString address =
      QStringLiteral("mailto:") + ui_->FPUrlLabel2->text() + QStringLiteral("?subject=");
  Shell().ShellOpen(address.toStdString());
}

void TAboutBox::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous())
    return;
  // Centred on the screen, not over the window that opened it.
  if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

}  // namespace quellion
