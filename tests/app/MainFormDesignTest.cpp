// The window as designed: every control by name, kind, caption and bounds, the settings
// of the controls, and captions that fit their bounds in the window's font.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <QValidator>

#include "app/MainForm.h"
#include "search/LanguageTable.h"
#include "tests/app/AppTestSupport.h"
#include "ui_MainForm.h"

namespace quellion {
namespace {

using test::TSandboxSettings;

struct TControlCase {
  const char* Name;
  const char* Kind;     // Qt class the control must be (or derive from)
  const char* Caption;  // nullptr: no caption to check
  int Left, Top, Width, Height;
  bool Visible;
};

// Controls placed by their design bounds (those that stick to a side are checked below).
const TControlCase kPlacedControls[] = {
    {"SearchButton", "QPushButton", "Begin Search", 106, 56, 70, 25, true},
    {"VerifyCheckBox", "QCheckBox", "Verify Links", 107, 84, 76, 17, true},
    {"FlexActive1", "quellion::TFlexActive", nullptr, 8, 64, 88, 31, true},
    {"CheckBox12", "QCheckBox", "Another", 8, 104, 97, 17, false},
    {"CheckBox8", "QCheckBox", "Another", 112, 24, 97, 17, false},
    {"CheckBox7", "QCheckBox", "Another", 112, 40, 97, 17, false},
    {"CheckBox5", "QCheckBox", "Another", 112, 56, 97, 17, false},
    {"CheckBox9", "QCheckBox", "Another", 112, 72, 97, 17, false},
    {"CheckBox10", "QCheckBox", "Another", 112, 88, 97, 17, false},
    {"CheckBox11", "QCheckBox", "Another", 112, 104, 97, 17, false},
    {"GroupBox4", "QGroupBox", "Language", 8, 8, 193, 49, true},
    {"LanguageComboBox", "QComboBox", nullptr, 8, 16, 177, 21, true},
    {"GroupBox5", "QGroupBox", "Max Sites", 136, 64, 65, 41, true},
    {"SpinEdit1", "QSpinBox", nullptr, 8, 12, 49, 22, true},
    {"GroupBox7", "QGroupBox", "Information Display", 8, 64, 121, 73, true},
    {"HintDescriptionCheckBox", "QCheckBox", "Description Hint", 8, 16, 105, 17, true},
    {"HintURLCheckBox", "QCheckBox", "URL Hint", 8, 32, 105, 17, true},
    {"FullInfoCheckBox", "QCheckBox", "Full Info", 8, 48, 105, 17, true},
    {"GroupBox6", "QGroupBox", "Proxy Information", 8, 136, 193, 113, true},
    {"ProxyName", "QLineEdit", nullptr, 72, 16, 113, 21, true},
    {"ProxyPort", "QLineEdit", nullptr, 72, 40, 41, 21, true},
    {"ProxyUserName", "QLineEdit", nullptr, 72, 64, 113, 21, true},
    {"ProxyPassword", "QLineEdit", nullptr, 72, 88, 113, 21, true},
};

QString CaptionOf(QWidget* w) {
  if (auto* button = qobject_cast<QAbstractButton*>(w))
    return button->text();
  if (auto* group = qobject_cast<QGroupBox*>(w))
    return group->title();
  if (auto* label = qobject_cast<QLabel*>(w))
    return label->text();
  return {};
}

class MainFormDesign : public ::testing::Test {
 protected:
  TSandboxSettings settings_;
  TMainForm form_;
  Ui::MainForm& ui_ = form_.Controls();
};

// Today's engines first, then the classic five under their heading, Hotbot's box
// shown among them; the classic boxes keep their size.
TEST_F(MainFormDesign, EngineBoxesTodayFirstThenTheClassicGroup) {
  auto* defined = form_.findChild<QWidget*>(QStringLiteral("DefinedEnginesBox"));
  auto* heading = form_.findChild<QLabel*>(QStringLiteral("ClassicEnginesLabel"));
  ASSERT_NE(defined, nullptr);
  ASSERT_NE(heading, nullptr);
  EXPECT_EQ(heading->text(), QStringLiteral("Classic engines (historical hosts)"));
  EXPECT_EQ(defined->geometry().top(), 24);
  EXPECT_LT(defined->geometry().bottom(), heading->geometry().top());
  int top = heading->geometry().bottom();
  for (QCheckBox* box : {ui_.AltavistaCheckBox, ui_.ExciteCheckBox, ui_.AllTheWebCheckBox,
                         ui_.GoogleCheckBox, ui_.HotBotCheckBox}) {
    SCOPED_TRACE(box->objectName().toStdString());
    EXPECT_FALSE(box->isHidden());
    EXPECT_GT(box->geometry().top(), top);
    EXPECT_EQ(box->geometry().left(), 8);
    EXPECT_EQ(box->size(), QSize(97, 17));
    top = box->geometry().top();
  }
  EXPECT_LE(ui_.HotBotCheckBox->geometry().bottom(), ui_.GroupBox1->height());
}

TEST_F(MainFormDesign, ControlsByNameKindCaptionAndBounds) {
  for (const TControlCase& c : kPlacedControls) {
    SCOPED_TRACE(c.Name);
    auto* w = form_.findChild<QWidget*>(QLatin1String(c.Name));
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->inherits(c.Kind)) << w->metaObject()->className();
    if (c.Caption) {
      EXPECT_EQ(CaptionOf(w).toStdString(), c.Caption);
    }
    EXPECT_EQ(w->geometry(), QRect(c.Left, c.Top, c.Width, c.Height));
    EXPECT_EQ(!w->isHidden(), c.Visible);
  }
  // The four proxy labels sit at left 8 beside their boxes.
  for (const char* caption : {"Proxy", "Port", "UserName", "Password"}) {
    bool found = false;
    for (QLabel* label : ui_.GroupBox6->findChildren<QLabel*>())
      if (label->text() == QLatin1String(caption)) {
        found = true;
        EXPECT_EQ(label->x(), 8) << caption;
      }
    EXPECT_TRUE(found) << caption;
  }
}

TEST_F(MainFormDesign, AlignedAreasStickToTheirSides) {
  // Search page: keywords and button area on top, results below, status bar at the
  // bottom of the results, full information at the bottom of Panel4.
  const QRect page = ui_.SearchTabSheet->rect();
  EXPECT_EQ(ui_.Panel3->geometry(), QRect(0, 0, page.width(), 105));
  EXPECT_EQ(ui_.GroupBox2->geometry(), QRect(0, 0, page.width(), 50));
  // Edit1 is anchored on all four sides: its margins stay those of the design.
  EXPECT_EQ(ui_.Edit1->geometry(), QRect(8, 16, page.width() - 8 - 16, 21));
  EXPECT_EQ(ui_.GroupBox3->geometry(), QRect(0, 105, page.width(), page.height() - 105));
  const QRect results = ui_.GroupBox3->rect();
  EXPECT_EQ(ui_.dfsStatusBar1->height(), 19);
  EXPECT_EQ(ui_.Panel4->geometry().bottom() + 1, ui_.dfsStatusBar1->geometry().top());
  EXPECT_LT(ui_.dfsStatusBar1->geometry().bottom(), results.bottom() + 1);
  QWidget* panel5 = ui_.Panel4->findChild<QWidget*>(QStringLiteral("Panel5"));
  ASSERT_NE(panel5, nullptr);
  EXPECT_EQ(panel5->height(), 81);
  // Engines page: the group box fills the page.
  EXPECT_EQ(ui_.GroupBox1->geometry(), ui_.EnginesTabSheet->rect());
  // Panel1 holds the pages, which fill it.
  EXPECT_EQ(ui_.PageControl->geometry(), ui_.Panel1->rect());
}

TEST_F(MainFormDesign, SettingsOfTheControls) {
  // Pages in order, the first active.
  ASSERT_EQ(ui_.PageControl->count(), 3);
  const char* pages[][2] = {{"SearchTabSheet", "Search"},
                            {"EnginesTabSheet", "Engines"},
                            {"ConfigureTabSheet", "Configure"}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(ui_.PageControl->widget(i)->objectName().toStdString(), pages[i][0]);
    EXPECT_EQ(ui_.PageControl->tabText(i).toStdString(), pages[i][1]);
  }
  EXPECT_EQ(ui_.PageControl->currentIndex(), 0);
  EXPECT_EQ(ui_.GroupBox2->title(), QStringLiteral("Keywords"));
  EXPECT_EQ(ui_.GroupBox3->title(), QStringLiteral("Results"));
  EXPECT_EQ(ui_.GroupBox1->title(), QStringLiteral("Search Engines"));

  EXPECT_FALSE(ui_.VerifyCheckBox->isEnabled());

  // Max Sites: 10 to 1000 in steps of 10, arrows only.
  EXPECT_EQ(ui_.SpinEdit1->minimum(), 10);
  EXPECT_EQ(ui_.SpinEdit1->maximum(), 1000);
  EXPECT_EQ(ui_.SpinEdit1->singleStep(), 10);
  EXPECT_EQ(ui_.SpinEdit1->value(), 10);
  auto* spinText = ui_.SpinEdit1->findChild<QLineEdit*>();
  ASSERT_NE(spinText, nullptr);
  EXPECT_TRUE(spinText->isReadOnly());
  ui_.SpinEdit1->stepUp();
  EXPECT_EQ(ui_.SpinEdit1->value(), 20);

  // The port box takes one to five digits and nothing else.
  const QValidator* port = ui_.ProxyPort->validator();
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(ui_.ProxyPort->maxLength(), 5);
  struct {
    const char* Text;
    QValidator::State State;
  } portCases[] = {{"8080", QValidator::Acceptable},  {"0", QValidator::Acceptable},
                   {"65535", QValidator::Acceptable}, {"123456", QValidator::Invalid},
                   {"8o", QValidator::Invalid},       {"", QValidator::Intermediate}};
  for (const auto& c : portCases) {
    QString text = QString::fromLatin1(c.Text);
    int pos = 0;
    EXPECT_EQ(port->validate(text, pos), c.State) << c.Text;
  }
  EXPECT_EQ(ui_.ProxyPassword->echoMode(), QLineEdit::Password);

  // The language box: the 26 names in table order, editable, "any language" selected.
  QComboBox* languages = ui_.LanguageComboBox;
  EXPECT_TRUE(languages->isEditable());
  ASSERT_EQ(languages->count(), kLanguageCount);
  for (int i = 0; i < kLanguageCount; ++i)
    EXPECT_EQ(languages->itemText(i).toStdString(), std::string(LanguageTable[i].Name));
  EXPECT_EQ(languages->currentIndex(), 0);
  EXPECT_EQ(languages->currentText(), QStringLiteral("any language"));
}

TEST_F(MainFormDesign, TypedLanguageNameSelectsItsRowAnyOtherTextNone) {
  QComboBox* languages = ui_.LanguageComboBox;
  languages->setEditText(QStringLiteral("German"));
  EXPECT_EQ(languages->currentIndex(), 9);
  languages->setEditText(QStringLiteral("Klingon"));
  EXPECT_EQ(languages->currentIndex(), -1);
  EXPECT_EQ(languages->currentText(), QStringLiteral("Klingon"));
  languages->setEditText(QStringLiteral("any language"));
  EXPECT_EQ(languages->currentIndex(), 0);
}

TEST_F(MainFormDesign, CaptionsFitTheirBounds) {
  // The window's font keeps every caption inside the bounds the design gives it.
  for (QAbstractButton* button : form_.findChildren<QAbstractButton*>()) {
    if (button->text().isEmpty() || !qobject_cast<QCheckBox*>(button))
      continue;
    SCOPED_TRACE(button->objectName().toStdString());
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QRect text =
        button->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, button);
    EXPECT_LE(text.left() + button->fontMetrics().horizontalAdvance(button->text()),
              button->width());
    EXPECT_LE(button->fontMetrics().height(), button->height());
  }
  // The button's caption, in either state, inside the button's frame.
  for (const char* caption : {TMainForm::kBeginSearch, TMainForm::kStopSearch}) {
    QStyleOptionButton option;
    option.initFrom(ui_.SearchButton);
    option.text = QString::fromLatin1(caption);
    const QRect contents = ui_.SearchButton->style()->subElementRect(QStyle::SE_PushButtonContents,
                                                                     &option, ui_.SearchButton);
    EXPECT_LE(ui_.SearchButton->fontMetrics().horizontalAdvance(option.text), contents.width())
        << caption;
  }
  for (QGroupBox* group : form_.findChildren<QGroupBox*>()) {
    SCOPED_TRACE(group->objectName().toStdString());
    EXPECT_LE(group->fontMetrics().horizontalAdvance(group->title()) + 8, group->width());
  }
  for (QLabel* label : ui_.GroupBox6->findChildren<QLabel*>())
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), 72 - 8)
        << label->text().toStdString();
}

TEST_F(MainFormDesign, PicturesAndTheirHints) {
  for (QLabel* image : {ui_.imgMenu, ui_.imgMin}) {
    SCOPED_TRACE(image->objectName().toStdString());
    EXPECT_EQ(image->size(), QSize(12, 12));
    EXPECT_EQ(image->toolTip(), QStringLiteral("Option Menu"));
    EXPECT_FALSE(image->pixmap().isNull());
    EXPECT_TRUE(image->hasScaledContents());
  }
  EXPECT_EQ(ui_.imgMenu->pixmap().size(), QSize(32, 32));
  EXPECT_EQ(ui_.imgMin->pixmap().size(), QSize(126, 131));
  // Drawn on white, shown transparent.
  EXPECT_FALSE(ui_.imgMin->pixmap().mask().isNull());
  EXPECT_EQ(ui_.FlexActivePlus1->geometry(), QRect(24, 32, 32, 32));
}

}  // namespace
}  // namespace quellion
