// The window around the search: first start, layout by edge, the option menu and the
// pictures, the banner calls, help, closing, and the settings read and written once.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include "app/MainForm.h"
#include "app/SettingsStore.h"
#include "search/SearchControl.h"
#include "settings/Registry.h"
#include "tests/app/AppTestSupport.h"
#include "ui_MainForm.h"

namespace quellion {
namespace {

using test::TRecordingBanner;
using test::TSandboxSettings;
using test::WaitUntil;

TRegistryKey* SettingsKey(bool create = false) {
  return TRegistry::CurrentUser().OpenKey(HKEY_CURRENT_USER, "Software\\Tarnwick Quellion", create);
}

class MainFormWindow : public ::testing::Test {
 protected:
  TSandboxSettings settings_;
};

TEST_F(MainFormWindow, FirstStartFloatsAtTheDesignPosition) {
  TMainForm form;
  form.show();
  Ui::MainForm& ui = form.Controls();
  EXPECT_EQ(form.geometry(), QRect(367, 110, 325, 584));
  EXPECT_EQ(form.Edge(), abeFloat);
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Tarnwick Quellion 2"));
  EXPECT_EQ(ui.PageControl->currentIndex(), 0);
  EXPECT_EQ(ui.LanguageComboBox->currentText(), QStringLiteral("any language"));
  EXPECT_EQ(ui.SpinEdit1->value(), 10);
  EXPECT_EQ(ui.SearchButton->text(), QStringLiteral("Begin Search"));
  // Floating: the pictures one above the other in the left strip, the pages beside it.
  const QRect client = form.ClientRect();
  EXPECT_EQ(ui.imgMenu->pos(), client.topLeft());
  EXPECT_EQ(ui.imgMin->pos(), client.topLeft() + QPoint(0, 13));
  EXPECT_EQ(ui.Panel1->geometry(),
            QRect(client.left() + 13, client.top(), client.width() - 13, client.height()));
  // The values imposed on the bar whatever was stored.
  EXPECT_EQ(form.MinWidth(), 237);
  EXPECT_EQ(form.MinVertDockSize(), 248);
  EXPECT_TRUE(form.Flags() == (TAppBarFlags{abfAllowLeft, abfAllowRight, abfAllowFloat}));
}

TEST_F(MainFormWindow, DockedAtTheLeftThePicturesSitSideBySide) {
  TMainForm form;
  form.show();
  form.SetEdge(abeLeft);
  Ui::MainForm& ui = form.Controls();
  const QRect client = form.ClientRect();
  EXPECT_EQ(form.Edge(), abeLeft);
  EXPECT_EQ(ui.imgMenu->pos(), client.topLeft());
  EXPECT_EQ(ui.imgMin->pos(), client.topLeft() + QPoint(13, 0));
  EXPECT_EQ(ui.Panel1->geometry(),
            QRect(client.left(), client.top() + 13, client.width(), client.height() - 13));
  form.SetEdge(abeFloat);
  const QRect floating = form.ClientRect();
  EXPECT_EQ(ui.imgMin->pos(), floating.topLeft() + QPoint(0, 13));
}

TEST_F(MainFormWindow, OptionMenuItemsAccessKeysAndTicks) {
  TMainForm form;
  form.show();
  QMenu* menu = form.PopupMenu1();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->objectName(), QStringLiteral("PopupMenu1"));
  const char* expected[][2] = {{"AlwaysOnTop1", "Always On &Top"},
                               {"AutoHide1", "Auto Hi&de"},
                               {"N1", "-"},
                               {"SaveResults1", "&Save Results\u2026"},
                               {"N3", "-"},
                               {"Help1", "&Help"},
                               {"About1", "&About"},
                               {"N2", "-"},
                               {"Exit1", "E&xit"}};
  const QList<QAction*> actions = menu->actions();
  ASSERT_EQ(actions.size(), 9);
  for (int i = 0; i < 9; ++i) {
    SCOPED_TRACE(expected[i][0]);
    EXPECT_EQ(actions[i]->objectName().toStdString(), expected[i][0]);
    if (std::string(expected[i][1]) == "-") {
      EXPECT_TRUE(actions[i]->isSeparator());
    } else {
      EXPECT_EQ(actions[i]->text().toStdString(), expected[i][1]);
    }
  }
  // Not the window's context menu.
  EXPECT_EQ(form.contextMenuPolicy(), Qt::NoContextMenu);

  // On popup the ticks follow the bar: always on top by default, no auto-hide.
  form.PopupMenu1Popup();
  EXPECT_TRUE(actions[0]->isChecked());
  EXPECT_FALSE(actions[1]->isChecked());
  form.AlwaysOnTop1Click();
  form.AutoHide1Click();
  EXPECT_FALSE(form.AlwaysOnTop());
  EXPECT_TRUE(form.AutoHide());
  form.PopupMenu1Popup();
  EXPECT_FALSE(actions[0]->isChecked());
  EXPECT_TRUE(actions[1]->isChecked());

  // The menu opens just below the menu picture, at client point (-1, 13).
  form.imgMenuClick();
  ASSERT_TRUE(WaitUntil([&] { return menu->isVisible(); }, 5000));
  EXPECT_EQ(menu->pos(), form.mapToGlobal(form.ClientRect().topLeft() + QPoint(-1, 13)));
  menu->close();
}

TEST_F(MainFormWindow, ClickOnTheMenuPictureOpensTheMenuDoubleClickExits) {
  TMainForm form;
  form.show();
  QSignalSpy closed(&form, &TMainForm::closed);
  QTest::mouseClick(form.Controls().imgMenu, Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return form.PopupMenu1()->isVisible(); }, 5000));
  form.PopupMenu1()->close();
  EXPECT_EQ(closed.count(), 0);

  QTest::mouseDClick(form.Controls().imgMenu, Qt::LeftButton);
  EXPECT_EQ(closed.count(), 1);
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(form.SearchControl().IsSearching());
  // The first click of the double-click does not open the menu afterwards.
  QTest::qWait(QApplication::doubleClickInterval() + 100);
  EXPECT_FALSE(form.PopupMenu1()->isVisible());
}

TEST_F(MainFormWindow, ClickOnTheMinimisePictureMinimises) {
  TMainForm form;
  form.show();
  QTest::mouseClick(form.Controls().imgMin, Qt::LeftButton);
  EXPECT_TRUE(form.isMinimized());
  EXPECT_FALSE(form.PopupMenu1()->isVisible());
}

// Without the window as parent, the modal box would open beneath the always-on-top window.
TEST_F(MainFormWindow, TheAboutBoxOpensAsTheWindowsChild) {
  TMainForm form;
  form.show();
  QWidget* parent = nullptr;
  bool seen = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      seen = true;
      parent = box->parentWidget();
      box->reject();
    }
  });
  poll.start(10);
  QTimer::singleShot(10000, [] {  // never hang the run
    if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
      box->reject();
  });
  form.About1Click();
  EXPECT_TRUE(seen);
  EXPECT_EQ(parent, &form);
}

TEST_F(MainFormWindow, BannerIsCalledWhenShownAndWhenDestroyed) {
  TRecordingBanner banner;
  {
    TMainForm form;
    form.SetAdvertisingBanner(&banner);
    EXPECT_TRUE(banner.Calls.empty());
    form.show();
    form.hide();
    form.show();
    ASSERT_EQ(banner.Calls.size(), 1u);
    EXPECT_EQ(banner.Calls[0], (std::array<int, 3>{2, 1, 1}));
  }
  ASSERT_EQ(banner.Calls.size(), 2u);
  EXPECT_EQ(banner.Calls[1], (std::array<int, 3>{2, 3, 1}));
}

TEST_F(MainFormWindow, HelpShowsTheBundledContents) {
  TMainForm form;
  form.show();
  EXPECT_STREQ(TMainForm::kHelpFile, "D:\\Projects\\Quellion\\QUELLION.HLP");
  form.Help1Click();
  ASSERT_NE(form.HelpWindow(), nullptr);
  EXPECT_TRUE(form.HelpWindow()->isVisible());
  auto* browser = form.HelpWindow()->findChild<QTextBrowser*>();
  ASSERT_NE(browser, nullptr);
  EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("Begin Search")));
}

TEST_F(MainFormWindow, SettingsAreReadAtCreationAndRebuiltAtDestruction) {
  {
    TRegistryKey* key = SettingsKey(true);
    key->WriteInteger("FullInfo", 0);
    key->WriteInteger("MaxSites", 2000);
    key->WriteInteger("TabSelected", 2);
    key->WriteString("SomethingOld", "left over");
    key->WriteBinary("", std::string(85, '\0'));  // a wrong-sized bar record is ignored
  }
  {
    TMainForm form;
    form.show();
    Ui::MainForm& ui = form.Controls();
    EXPECT_FALSE(ui.FullInfoCheckBox->isChecked());
    EXPECT_TRUE(ui.Panel4->findChild<QWidget*>(QStringLiteral("Panel5"))->isHidden());
    EXPECT_EQ(ui.SpinEdit1->value(), 1000);
    EXPECT_EQ(form.SearchControl().MaxSites(), 1000);
    EXPECT_EQ(ui.PageControl->currentIndex(), 2);
    EXPECT_EQ(form.geometry(), QRect(367, 110, 325, 584));
    // Nothing is written while the window lives.
    EXPECT_TRUE(SettingsKey()->ValueExists("SomethingOld"));
    form.SetEdge(abeRight);
  }
  // Written once, from scratch, with the edge in use.
  TRegistry::ResetCurrentUser();
  const TRegistryKey* key = SettingsKey();
  ASSERT_NE(key, nullptr);
  EXPECT_FALSE(key->ValueExists("SomethingOld"));
  std::string record;
  ASSERT_EQ(key->ReadBinary("", record), TRegReadStatus::rsOk);
  ASSERT_EQ(record.size(), 84u);
  EXPECT_EQ(static_cast<unsigned char>(record[4]), abeRight);
  EXPECT_EQ(key->ValueNames().size(), 17u);  // the named values and the record
  std::int32_t maxSites = 0;
  EXPECT_EQ(key->ReadInteger("MaxSites", maxSites), TRegReadStatus::rsOk);
  EXPECT_EQ(maxSites, 1000);

  // The next start docks where the last one ended.
  TMainForm again;
  again.show();
  EXPECT_EQ(again.Edge(), abeRight);
}

}  // namespace
}  // namespace quellion
