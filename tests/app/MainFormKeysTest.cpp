// The window's keyboard additions and "Save Results…" against the engine simulator.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "app/MainForm.h"
#include "app/results/GaugeStatusBar.h"
#include "search/ResultExport.h"
#include "search/SearchControl.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/FakeShell.h"
#include "tools/engine-sim/EngineSimulator.h"
#include "ui_MainForm.h"

namespace quellion {
namespace {

using test::TFakeShell;
using test::TickEngines;
using test::TSandboxSettings;
using test::WaitUntil;
using tools::TEngineSimulator;
using tools::TSimConfig;

constexpr std::array<bool, kEngineCount> kOnlyAltavista = {true, false, false, false, false};

class MainFormKeys : public ::testing::Test {
 protected:
  void Open(int total, int delayMs) {
    TSimConfig config;
    for (auto& engine : config) {
      engine.Total = total;
      engine.DelayMs = delayMs;
    }
    simulator_ = std::make_unique<TEngineSimulator>(config);
    simulator_->Start();
    settings_.SetEngineHosts(simulator_->Hosts());
    form_ = std::make_unique<TMainForm>();
    form_->show();
    TickEngines(*form_, kOnlyAltavista);
  }
  Ui::MainForm& Ui() { return form_->Controls(); }
  std::string Caption() { return Ui().SearchButton->text().toStdString(); }
  std::string Status() { return form_->StatusBar()->statusText().toStdString(); }
  void KeyInKeywords(int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(Ui().Edit1, &press);
  }

  TSandboxSettings settings_;
  std::unique_ptr<TEngineSimulator> simulator_;
  std::unique_ptr<TMainForm> form_;
};

TEST_F(MainFormKeys, EscapeInTheKeywordBoxStopsARunningSearchOnly) {
  Open(1000, 300);
  Ui().SpinEdit1->setValue(1000);
  Ui().Edit1->setText(QStringLiteral("cats"));

  // Idle: Escape starts nothing and keeps the keywords.
  KeyInKeywords(Qt::Key_Escape);
  EXPECT_EQ(Caption(), "Begin Search");
  EXPECT_EQ(Status(), "");
  EXPECT_EQ(Ui().Edit1->text(), QStringLiteral("cats"));

  KeyInKeywords(Qt::Key_Return);
  ASSERT_EQ(Caption(), "Stop Search");
  ASSERT_TRUE(form_->SearchControl().IsSearching());
  KeyInKeywords(Qt::Key_Escape);
  EXPECT_FALSE(form_->SearchControl().IsSearching());
  ASSERT_TRUE(WaitUntil([&] { return Caption() == "Begin Search"; }));
  EXPECT_EQ(Status().rfind("Search Complete  -  Found ", 0), 0u) << Status();
  EXPECT_LT(form_->SearchControl().Table().RowCount(), 1000);
  EXPECT_EQ(Ui().Edit1->text(), QStringLiteral("cats"));

  // Escape after the search has ended does not start another one.
  const int requests = simulator_->RequestCount(TEngine::Altavista);
  KeyInKeywords(Qt::Key_Escape);
  QTest::qWait(50);
  EXPECT_EQ(Caption(), "Begin Search");
  EXPECT_EQ(simulator_->RequestCount(TEngine::Altavista), requests);
}

using test::ReadFile;

class MainFormSave : public MainFormKeys {
 protected:
  // A finished search of ten Altavista hits, rows 1 and 3 ticked, saving through a
  // chooser that answers with `next` and records what it was asked.
  void SearchAndTick() {
    Open(10, 0);
    form_->SetShell(&shell_);
    form_->SetSaveChooser([this](QWidget* parent, bool anyTicked) {
      asked_.push_back(anyTicked);
      EXPECT_EQ(parent, form_.get());
      return next_;
    });
    Ui().Edit1->setText(QStringLiteral("save me"));
    Ui().SearchButton->click();
    ASSERT_TRUE(WaitUntil([&] { return Caption() == "Begin Search"; }));
    ASSERT_EQ(Table().RowCount(), 10);
  }
  TResultTable& Table() { return form_->SearchControl().Table(); }
  QAction* SaveAction() { return form_->PopupMenu1()->findChild<QAction*>("SaveResults1"); }
  std::string Path(const char* name) { return settings_.Folder() + "/" + name; }

  TFakeShell shell_;
  std::optional<TSaveChoice> next_;
  std::vector<bool> asked_;
};

TEST_F(MainFormSave, SavesAllOrTheTickedRowsInTheChosenFormat) {
  SearchAndTick();
  const std::vector<TResultRecord> all = Table().Rows();

  next_ = TSaveChoice{QString::fromStdString(Path("all.csv")), TExportFormat::Csv, false};
  SaveAction()->trigger();
  EXPECT_EQ(asked_, std::vector<bool>{false});
  EXPECT_EQ(ReadFile(Path("all.csv")), ResultsToCsv(all));

  Table().SetChecked(1, true);
  Table().SetChecked(3, true);
  next_ = TSaveChoice{QString::fromStdString(Path("ticked.json")), TExportFormat::Json, true};
  SaveAction()->trigger();
  EXPECT_EQ(asked_, (std::vector<bool>{false, true}));
  const auto list = nlohmann::json::parse(ReadFile(Path("ticked.json")));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0]["url"], "http://" + all[1].URL);  // whole addresses
  EXPECT_EQ(list[1]["url"], "http://" + all[3].URL);

  next_ = TSaveChoice{QString::fromStdString(Path("page.html")), TExportFormat::Html, false};
  SaveAction()->trigger();
  const std::string html = ReadFile(Path("page.html"));
  for (const TResultRecord& row : all)
    EXPECT_NE(html.find("href=\"http://" + row.URL + "\""), std::string::npos) << row.URL;

  // Cancelled: nothing written, nothing said.
  next_.reset();
  SaveAction()->trigger();
  EXPECT_TRUE(shell_.messages.empty());
  EXPECT_EQ(Table().RowCount(), 10);

  // What the table holds when the choice is made is saved, ticks given meanwhile too.
  form_->SetSaveChooser([this](QWidget*, bool) {
    Table().SetChecked(5, true);
    return std::optional<TSaveChoice>(
        TSaveChoice{QString::fromStdString(Path("late.json")), TExportFormat::Json, true});
  });
  SaveAction()->trigger();
  EXPECT_EQ(nlohmann::json::parse(ReadFile(Path("late.json"))).size(), 3u);
  // The next save is suggested in the folder of this one.
  EXPECT_EQ(SuggestedResultsPath(QStringLiteral("quokka habitat")),
            QString::fromStdString(Path("quokka-habitat.csv")));
}

TEST_F(MainFormSave, CtrlSOpensTheSaveOfTheWindow) {
  SearchAndTick();
  EXPECT_EQ(SaveAction()->shortcut(), QKeySequence(QKeySequence::Save));
  QApplication::setActiveWindow(form_.get());
  if (!QTest::qWaitForWindowActive(form_.get(), 2000))
    GTEST_SKIP() << "the window cannot become active on this platform";
  next_.reset();
  QTest::keyClick(Ui().Edit1, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(asked_.size(), 1u);
}

TEST_F(MainFormSave, AFailedWriteSaysSoAndKeepsWhatWasThere) {
  SearchAndTick();
  // A file that is there already and a folder where the file should go.
  const std::string kept = Path("kept.csv");
  std::ofstream(kept) << "precious";
  std::filesystem::create_directory(Path("folder.csv"));
  for (const std::string& target :
       {Path("missing/out.csv"), Path("folder.csv"), std::string("/proc/version.csv")}) {
    SCOPED_TRACE(target);
    shell_.messages.clear();
    next_ = TSaveChoice{QString::fromStdString(target), TExportFormat::Csv, false};
    EXPECT_FALSE(SaveResults(
        form_.get(), Table(), [&](QWidget*, bool) { return next_; }, shell_));
    ASSERT_EQ(shell_.messages.size(), 1u);
    EXPECT_TRUE(shell_.messages[0].startsWith(QStringLiteral("The results could not be saved to ")))
        << shell_.messages[0].toStdString();
    EXPECT_TRUE(shell_.calls.back().startsWith(QStringLiteral("warning ")));
  }
  EXPECT_TRUE(std::filesystem::is_directory(Path("folder.csv")));
  EXPECT_EQ(ReadFile(kept), "precious");
  EXPECT_EQ(Table().RowCount(), 10);

  // Overwriting works and replaces the whole file.
  next_ = TSaveChoice{QString::fromStdString(kept), TExportFormat::Csv, false};
  SaveAction()->trigger();
  EXPECT_EQ(ReadFile(kept), ResultsToCsv(Table().Rows()));
}

TEST_F(MainFormSave, NothingToSaveBeforeASearch) {
  Open(10, 0);
  form_->SetShell(&shell_);
  bool asked = false;
  form_->SetSaveChooser([&](QWidget*, bool) {
    asked = true;
    return std::optional<TSaveChoice>();
  });
  form_->SaveResults1Click();
  EXPECT_FALSE(asked);
  EXPECT_EQ(shell_.messages, std::vector<QString>{QStringLiteral("There are no results to save.")});
}

TEST(SaveChoice, TheSuggestedNameComesFromTheKeywords) {
  const struct {
    const char* keywords;
    const char* name;
  } cases[] = {
      {"quokka habitat", "quokka-habitat.csv"},
      {"  Quokka, Habitat!  ", "quokka-habitat.csv"},
      {"../../etc/passwd", "etc-passwd.csv"},
      {"", "results.csv"},
      {"?!", "results.csv"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(QString::fromLatin1(c.name),
              SuggestedResultsFileName(QString::fromLatin1(c.keywords)))
        << c.keywords;
  EXPECT_LE(SuggestedResultsFileName(QString(200, QLatin1Char('a'))).size(), 64);
}

TEST(SaveChoice, TheFileDialogOffersTheFormatsAndTheTickedRows) {
  TSandboxSettings settings;
  const QString folder = QString::fromStdString(settings.Folder());
  for (const bool anyTicked : {true, false}) {
    SCOPED_TRACE(anyTicked);
    bool boxEnabled = !anyTicked;
    QStringList filters;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      filters = dialog->nameFilters();
      auto* box = dialog->findChild<QCheckBox*>(QStringLiteral("TickedOnlyCheckBox"));
      ASSERT_NE(box, nullptr);
      boxEnabled = box->isEnabled();
      box->setChecked(anyTicked);
      dialog->setDirectory(folder);
      dialog->selectNameFilter(filters.value(1));
      dialog->selectFile(QStringLiteral("results"));
      static_cast<QDialog*>(dialog)->accept();  // as the Save button does
    });
    const auto choice = ChooseResultsFile(nullptr, anyTicked);
    EXPECT_EQ(filters, SaveResultsFilters());
    EXPECT_EQ(boxEnabled, anyTicked);
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->FileName, folder + QStringLiteral("/results.json"));
    EXPECT_EQ(choice->Format, TExportFormat::Json);
    EXPECT_EQ(choice->TickedOnly, anyTicked);
  }
}

TEST(SaveChoice, FormatBySuffixElseByFilter) {
  const struct {
    const char* name;
    int filter;
    const char* file;
    TExportFormat format;
  } cases[] = {
      {"/t/r.csv", 2, "/t/r.csv", TExportFormat::Csv},
      {"/t/r.JSON", 0, "/t/r.JSON", TExportFormat::Json},
      {"/t/r.htm", 1, "/t/r.htm", TExportFormat::Html},
      {"/t/r", 1, "/t/r.json", TExportFormat::Json},
      {"/t/r.txt", 2, "/t/r.txt.html", TExportFormat::Html},
      {"/t.csv/r", 0, "/t.csv/r.csv", TExportFormat::Csv},
      {"/t/r", -1, "/t/r.csv", TExportFormat::Csv},
  };
  for (const auto& c : cases) {
    const TSaveChoice choice = ResolveSaveChoice(QString::fromLatin1(c.name), c.filter, true);
    EXPECT_EQ(choice.FileName.toStdString(), c.file) << c.name;
    EXPECT_EQ(choice.Format, c.format) << c.name;
    EXPECT_TRUE(choice.TickedOnly);
  }
  EXPECT_EQ(SaveResultsFilters().size(), 3);
}

}  // namespace
}  // namespace quellion
