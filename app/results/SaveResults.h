#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "search/ResultExport.h"

class QWidget;

namespace quellion {

class TDesktopShell;
class TResultTable;

// "Save Results…": what the user chose, and the writing of the file.
struct TSaveChoice {
  QString FileName;
  TExportFormat Format = TExportFormat::Csv;
  bool TickedOnly = false;
};

// Asks where to save; std::nullopt when the user cancels. anyTicked tells whether the
// choice "only the ticked rows" can be offered. Injectable so that tests need no modal
// dialog.
using TSaveChooser = std::function<std::optional<TSaveChoice>(QWidget* parent, bool anyTicked)>;

// The file name filters of the dialog, in order: CSV, JSON, HTML.
QStringList SaveResultsFilters();
// The format by the name's suffix when it has a known one; otherwise the chosen filter's
// format, its suffix appended to the name.
TSaveChoice ResolveSaveChoice(const QString& fileName, int filterIndex, bool tickedOnly);
// "quokka-habitat.csv" for the keywords "Quokka habitat!": lower-case letters and digits,
// runs of anything else one "-"; "results.csv" when nothing is left.
QString SuggestedResultsFileName(const QString& keywords);
// That name in the folder of the last successful save of this run (at first, home).
QString SuggestedResultsPath(const QString& keywords);
// The real dialog (a file dialog with a check box "Only the ticked rows"), opened on
// suggestedPath when one is given.
std::optional<TSaveChoice> ChooseResultsFile(QWidget* parent, bool anyTicked,
                                             const QString& suggestedPath = {});

// Writes content to fileName atomically (temporary file, then rename): on failure the
// file that was there is left as it was. Returns the error text, empty on success.
QString WriteFileAtomically(const QString& fileName, const std::string& content);

// The whole action: asks through chooser (unset: the dialog, suggesting a name from the
// keywords), then writes the table's rows as they are when the choice is made (all, or
// only the ticked ones); an empty table is said in a message box, a failed write in a
// warning. Returns whether a file was written; its folder is suggested next time.
bool SaveResults(QWidget* parent, const TResultTable& table, const TSaveChooser& chooser,
                 TDesktopShell& shell, const QString& keywords = {});

}  // namespace quellion
