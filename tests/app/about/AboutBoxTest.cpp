#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>

#include "app/about/AboutBox.h"
#include "app/widgets/UrlLabel.h"
#include "tests/support/FakeShell.h"
#include "ui_AboutBox.h"

namespace quellion {
namespace {

void SendMouse(QWidget* widget, QEvent::Type type, Qt::MouseButton button, QPoint pos) {
  const Qt::MouseButtons held =
      type == QEvent::MouseButtonRelease ? Qt::MouseButtons() : Qt::MouseButtons(button);
  QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, held, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

TEST(AboutBox, ShowsTheBuildsVersionInformationAndItsTexts) {
  test::TFakeShell shell;
  TAboutBox box(nullptr, &shell);
  auto& ui = box.Form();
  EXPECT_EQ(QStringLiteral("Tarnwick Quellion About Box"), box.windowTitle());
  EXPECT_EQ(QSize(382, 444), box.size());
  EXPECT_EQ(QStringLiteral("Tarnwick Quellion 2"), ui.ProductLabel->text());
  EXPECT_EQ(QStringLiteral("2.0.1.3"), ui.VersionLabel->text());
  EXPECT_EQ(QStringLiteral("Desktop interface to Internet Search Engines."),
            ui.DescriptionLabel->text());
  EXPECT_FALSE(ui.CopyrightLabel->text().isEmpty());
  EXPECT_EQ(QStringLiteral("Linux, Qt platform offscreen"), ui.Label2->text());
  EXPECT_EQ(QStringLiteral("Version: "), ui.Label1->text());
  EXPECT_EQ(QStringLiteral("Please submit all comments, questions, or "), ui.Label5->text());
  EXPECT_EQ(QStringLiteral("problems to:"), ui.Label6->text());
  EXPECT_EQ(QStringLiteral("Visit Tarnwick on the Internet"), ui.Label3->text());
  EXPECT_EQ(136, ui.FPUrlLabel1->y());
  EXPECT_EQ(ui.Label3->x(), ui.FPUrlLabel1->x());
  EXPECT_EQ(QPoint(16, 200), ui.FPUrlLabel2->pos());
  EXPECT_FALSE(ui.Image1->pixmap().isNull());

  QTreeWidget* list = ui.ListView1;
  ASSERT_EQ(2, list->columnCount());
  EXPECT_EQ(QStringLiteral("Resource"), list->headerItem()->text(0));
  EXPECT_EQ(QStringLiteral("Value"), list->headerItem()->text(1));
  // This build has no flags and no comments: the list holds what a bug report needs.
  QStringList resources;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    resources << list->topLevelItem(i)->text(0);
    EXPECT_FALSE(list->topLevelItem(i)->text(1).isEmpty()) << resources.back().toStdString();
  }
  EXPECT_EQ(QStringList({"Version", "Platform", "Qt", "OpenSSL", "libxml2", "Settings",
                         "Engines (shipped)", "Engines (yours)"}),
            resources);
  EXPECT_EQ(QStringLiteral("2.0.1.3"), list->topLevelItem(0)->text(1));
  EXPECT_TRUE(list->topLevelItem(3)->text(1).startsWith(QStringLiteral("OpenSSL 3")));
  EXPECT_TRUE(list->topLevelItem(5)->text(1).endsWith(QStringLiteral("/registry.reg")));

  // Close closes; Copy Details puts the list on the clipboard, one line a row.
  ui.CopyButton->click();
  const QString copied = QApplication::clipboard()->text();
  EXPECT_TRUE(copied.startsWith(QStringLiteral("Version: 2.0.1.3\nPlatform: Linux")))
      << copied.toStdString();
  box.show();
  ui.CloseButton->click();
  EXPECT_FALSE(box.isVisible());
  EXPECT_EQ(QDialog::Accepted, box.result());
}

TEST(AboutBox, ListsBuildFlagsAndCommentsOnlyWhenPresent) {
  TVersionInfo version = TVersionInfo::FromBuild();
  version.FileFlags = TVersionInfo::kDebug | TVersionInfo::kPatched | TVersionInfo::kSpecial;
  version.Comments = QStringLiteral("a test build");
  TAboutBox box(nullptr, nullptr, version, {});
  QTreeWidget* list = box.Form().ListView1;
  ASSERT_EQ(2, list->topLevelItemCount());
  EXPECT_EQ(QStringLiteral("Build Flags"), list->topLevelItem(0)->text(0));
  EXPECT_EQ(QStringLiteral("Debug, Patched, Special"), list->topLevelItem(0)->text(1));
  EXPECT_EQ(QStringLiteral("Comments"), list->topLevelItem(1)->text(0));

  version.FileFlags = 0;
  TAboutBox onlyComments(nullptr, nullptr, version, {{"Qt", "6"}});
  ASSERT_EQ(2, onlyComments.Form().ListView1->topLevelItemCount());
  EXPECT_EQ(QStringLiteral("Comments"), onlyComments.Form().ListView1->topLevelItem(0)->text(0));
  EXPECT_EQ(QStringLiteral("Qt"), onlyComments.Form().ListView1->topLevelItem(1)->text(0));
}

TEST(AboutBox, EveryLabelHoldsItsTextInsideTheDialog) {
  TAboutBox box;
  for (QLabel* label : box.findChildren<QLabel*>()) {
    if (label->text().isEmpty() || label->wordWrap())
      continue;
    SCOPED_TRACE(label->objectName().toStdString());
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
    // Inside the dialog, clear of its edge.
    EXPECT_TRUE(box.rect().adjusted(4, 0, -4, 0).contains(label->geometry()))
        << label->geometry().right();
  }
  QLabel* description = box.Form().DescriptionLabel;
  EXPECT_LE(description->heightForWidth(description->width()), description->height());
  // Labels side by side do not run into each other.
  const auto& ui = box.Form();
  EXPECT_LT(ui.Label5->geometry().right(), ui.Label3->x());
  for (QWidget* button :
       {static_cast<QWidget*>(ui.CopyButton), static_cast<QWidget*>(ui.CloseButton)}) {
    EXPECT_TRUE(box.rect().contains(button->geometry()));
    EXPECT_LE(button->sizeHint().width(), button->width()) << button->objectName().toStdString();
  }
}

TEST(AboutBox, WebLinkFallsBackToTheBrowserProgramsThenApologises) {
  const QString address = QStringLiteral("http://www.tarnwick.example");
  struct Case {
    bool openSucceeds;
    QStringList starting;
    QStringList calls;
  } cases[] = {
      {true, {}, {"open " + address}},
      {false, {"netscape", "iexplore"}, {"open " + address, "start netscape " + address}},
      {false,
       {"iexplore"},
       {"open " + address, "start netscape " + address, "start iexplore " + address}},
      {false,
       {},
       {"open " + address, "start netscape " + address, "start iexplore " + address,
        "message Sorry your browser could not be found"}},
  };
  for (const auto& c : cases) {
    test::TFakeShell shell;
    shell.openSucceeds = c.openSucceeds;
    shell.programsThatStart = c.starting;
    TAboutBox box(nullptr, &shell);
    ASSERT_EQ(QStringLiteral("www.tarnwick.example"), box.Form().FPUrlLabel1->text());
    box.OpenWebLink();
    EXPECT_EQ(c.calls, shell.calls);
  }
}

TEST(AboutBox, MailLinkStartsAMessageAndSaysNothingOnFailure) {
  test::TFakeShell shell;
  shell.openSucceeds = false;
  TAboutBox box(nullptr, &shell);
  box.OpenMailLink();
  EXPECT_EQ(QStringList{"open mailto:support@tarnwick.example?subject="}, shell.calls);
}

TEST(AboutBox, LinkLabelsTurnRedWhilePressedAndOpenOnRelease) {
  test::TFakeShell shell;
  TAboutBox box(nullptr, &shell);
  TUrlLabel* link = box.Form().FPUrlLabel1;
  EXPECT_TRUE(link->font().underline());
  EXPECT_EQ(Qt::PointingHandCursor, link->cursor().shape());
  EXPECT_EQ(QColor(Qt::blue), link->palette().color(QPalette::WindowText));

  SendMouse(link, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(2, 2));
  EXPECT_EQ(QColor(Qt::red), link->palette().color(QPalette::WindowText));
  EXPECT_TRUE(shell.calls.isEmpty());
  SendMouse(link, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(2, 2));
  EXPECT_EQ(QColor(Qt::blue), link->palette().color(QPalette::WindowText));
  EXPECT_EQ(QStringList{"open http://www.tarnwick.example"}, shell.calls);

  // Released elsewhere: back to blue, nothing opened.
  SendMouse(link, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(2, 2));
  SendMouse(link, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(-50, -50));
  EXPECT_EQ(QColor(Qt::blue), link->palette().color(QPalette::WindowText));
  EXPECT_EQ(1, shell.calls.size());

  TUrlLabel* mail = box.Form().FPUrlLabel2;
  SendMouse(mail, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(2, 2));
  SendMouse(mail, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(2, 2));
  EXPECT_EQ(QStringLiteral("open mailto:support@tarnwick.example?subject="), shell.calls.last());
}

TEST(AboutBox, RightClickOffersCopyOfTheCaption) {
  TAboutBox box;
  for (TUrlLabel* link : {box.Form().FPUrlLabel1, box.Form().FPUrlLabel2}) {
    SendMouse(link, QEvent::MouseButtonPress, Qt::RightButton, QPoint(2, 2));
    QMenu* menu = link->ContextMenu();
    EXPECT_TRUE(menu->isVisible());
    ASSERT_EQ(1, menu->actions().size());
    EXPECT_EQ(QStringLiteral("&Copy"), menu->actions().first()->text());
    menu->actions().first()->trigger();
    menu->hide();
    EXPECT_EQ(link->text(), QApplication::clipboard()->text());
  }
}

}  // namespace
}  // namespace quellion
