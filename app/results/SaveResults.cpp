#include "app/results/SaveResults.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QSaveFile>
#include <algorithm>

#include "app/widgets/DesktopShell.h"
#include "search/ResultTable.h"

namespace quellion {
namespace {

constexpr TExportFormat kFilterFormats[] = {TExportFormat::Csv, TExportFormat::Json,
                                            TExportFormat::Html};
constexpr int kMaxSuggestedStem = 60;

// Where the last save of this run went; empty: none yet.
QString& LastSaveFolder() {
  static QString folder;
  return folder;
}

}  // namespace

QStringList SaveResultsFilters() {
  return {QStringLiteral("CSV (*.csv)"), QStringLiteral("JSON (*.json)"),
          QStringLiteral("HTML page (*.html *.htm)")};
}

TSaveChoice ResolveSaveChoice(const QString& fileName, int filterIndex, bool tickedOnly) {
  TSaveChoice choice;
  choice.TickedOnly = tickedOnly;
  choice.FileName = fileName;
  if (const auto bySuffix = ExportFormatForFileName(QFileInfo(fileName).fileName().toStdString())) {
    choice.Format = *bySuffix;
    return choice;
  }
  const int count = int(std::size(kFilterFormats));
  choice.Format = kFilterFormats[filterIndex >= 0 && filterIndex < count ? filterIndex : 0];
  choice.FileName += QString::fromLatin1(ExportSuffix(choice.Format));
  return choice;
}

QString SuggestedResultsFileName(const QString& keywords) {
  QString stem;
  bool gap = false;
  for (const QChar c : keywords.toLower()) {
    if (c.isLetterOrNumber()) {
      if (gap && !stem.isEmpty())
        stem += QLatin1Char('-');
      stem += c;
      gap = false;
    } else {
      gap = true;
    }
    if (stem.size() >= kMaxSuggestedStem)
      break;
  }
  if (stem.isEmpty())
    stem = QStringLiteral("results");
  return stem + QString::fromLatin1(ExportSuffix(TExportFormat::Csv));
}

QString SuggestedResultsPath(const QString& keywords) {
  const QString folder = LastSaveFolder().isEmpty() ? QDir::homePath() : LastSaveFolder();
  return QDir(folder).filePath(SuggestedResultsFileName(keywords));
}

std::optional<TSaveChoice> ChooseResultsFile(QWidget* parent, bool anyTicked,
                                             const QString& suggestedPath) {
  QFileDialog dialog(parent, QStringLiteral("Save Results"),
                     suggestedPath.isEmpty() ? QDir::homePath() : suggestedPath);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // Our own dialog, so that it can carry the choice of rows.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  const QStringList filters = SaveResultsFilters();
  dialog.setNameFilters(filters);
  auto* tickedOnly = new QCheckBox(QStringLiteral("Only the &ticked rows"), &dialog);
  tickedOnly->setObjectName(QStringLiteral("TickedOnlyCheckBox"));
  tickedOnly->setEnabled(anyTicked);
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
    grid->addWidget(tickedOnly, grid->rowCount(), 0, 1, -1);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return std::nullopt;
  return ResolveSaveChoice(dialog.selectedFiles().constFirst(),
                           int(filters.indexOf(dialog.selectedNameFilter())),
                           tickedOnly->isChecked());
}

QString WriteFileAtomically(const QString& fileName, const std::string& content) {
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly))
    return file.errorString();
  if (file.write(content.data(), qint64(content.size())) != qint64(content.size())) {
    const QString error = file.errorString();
    file.cancelWriting();
    return error;
  }
  if (!file.commit())
    return file.errorString();
  return {};
}

bool SaveResults(QWidget* parent, const TResultTable& table, const TSaveChooser& chooser,
                 TDesktopShell& shell, const QString& keywords) {
  std::vector<TResultRecord> rows = table.Rows();
  if (rows.empty()) {
    shell.ShowMessage(parent, QStringLiteral("There are no results to save."));
    return false;
  }
  const bool anyTicked = std::any_of(rows.begin(), rows.end(), [](const TResultRecord& row) {
    return row.Checked.value_or(false);
  });
  const auto choice = chooser
                          ? chooser(parent, anyTicked)
                          : ChooseResultsFile(parent, anyTicked, SuggestedResultsPath(keywords));
  if (!choice || choice->FileName.isEmpty())
    return false;
  // Rows that arrived (or were ticked) while the dialog was open are saved too.
  rows = table.Rows();
  if (choice->TickedOnly)
    std::erase_if(rows, [](const TResultRecord& row) { return !row.Checked.value_or(false); });
  const QString error = WriteFileAtomically(choice->FileName, ExportResults(rows, choice->Format));
  if (!error.isEmpty()) {
    shell.ShowWarning(parent, QStringLiteral("The results could not be saved to %1: %2")
                                  .arg(QDir::toNativeSeparators(choice->FileName), error));
    return false;
  }
  LastSaveFolder() = QFileInfo(choice->FileName).absolutePath();
  return true;
}

}  // namespace quellion
