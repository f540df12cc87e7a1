#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace quellion {

// One engine's find of a row: the engine's name (as SearchEngine holds it) and the
// row's 1-based place in that engine's results (0 when the finder did not say).
struct TEngineFind {
  std::string Engine;
  int Position = 0;
  bool operator==(const TEngineFind&) const = default;
};

// One row of the results table.
struct TResultRecord {
  std::string Title;            // at most 200 bytes (see TResultTable)
  std::string URL;              // whole; an http address without its "http://" (RowAddress.h)
  std::string Description;      // at most 250 bytes
  int32_t Color = 0;            // 0 when added; 16776960 once the hit was opened
  int32_t Index = 0;            // assigned on append: 0, 1, 2, ... since the table was opened
  std::optional<bool> Checked;  // empty when added (reads as false)
  std::string SearchEngine;     // at most 50 bytes
  // Every engine that found the row, in finding order; the first is SearchEngine.
  std::vector<TEngineFind> Engines;

  // The best (lowest) known position among the engines; 0 when none is known.
  int BestPosition() const;
};

// What AppendOrJoin did with a hit.
enum class TAddOutcome {
  Appended,  // a new row
  Joined,    // another engine's row for the same page now names this engine too
  Refused,   // table closed or full, or the address is a duplicate
};

// The in-memory results table (the window's MemTable): rows in order of arrival,
// one current row, closed until the first search opens it.
//
// Threads: engine tasks append through AddHit (search control) while holding the
// task runner's caller lock; the window reads and edits rows on the GUI thread.
// Every member takes the table's own mutex, so each call is atomic on its own.
// Appends are announced through OnRowsChanged, called on the appending thread
// after the table's mutex is released; the GUI marshals it to its own thread.
class TResultTable {
 public:
  static constexpr size_t kTitleWidth = 200;
  static constexpr size_t kURLWidth = 250;  // compared in the duplicate test, not cut
  static constexpr size_t kDescriptionWidth = 250;
  static constexpr size_t kSearchEngineWidth = 50;
  static constexpr int32_t kVisitedColor = 16776960;

  bool IsOpen() const;
  // Emptying: close (a no-op when closed) and open again; Index restarts at 0.
  void Empty();
  void Close();

  int RowCount() const;
  // A copy of row i (0-based); std::nullopt when there is no such row.
  std::optional<TResultRecord> Row(int i) const;
  std::vector<TResultRecord> Rows() const;

  // Current row: -1 when the table is closed or empty.
  int CurrentRow() const;
  void SetCurrentRow(int i);  // clamped to the rows present
  void MoveBy(int delta);     // moves the current row by delta, clamped

  // Appends a row unless the table holds limit rows or more, the address is not a
  // web address (IsWebAddress: http or https only), or a row's address agrees with
  // it in the first kURLWidth bytes. Returns whether it appended. The address is
  // kept whole (a cut address is a broken link); the texts are cut to their widths
  // by CutText, between characters when they are UTF-8. The current row stays where it was (the
  // first row becomes current when the table was empty). The duplicate test and the append are one
  // step under the table's mutex.
  bool AppendUnique(const std::string& title, const std::string& url,
                    const std::string& description, const std::string& engine, int limit,
                    int position = 0);

  // AppendUnique's rules, except that a hit whose agreement key (AgreementKey) is
  // that of a row no hit of this engine has joined yet adds no row: the engine joins
  // that row's Engines with position, and the row keeps the address it came with.
  // Within one engine the duplicate test stays AppendUnique's exact one. Lookups are
  // hashed, so a call costs the same at 1000 rows as at 10.
  TAddOutcome AppendOrJoin(const std::string& title, const std::string& url,
                           const std::string& description, const std::string& engine, int position,
                           int limit);

  // Edits of one row from the window (no effect for a row that does not exist).
  void SetChecked(int i, bool checked);
  void SetColor(int i, int32_t color);
  void SetDescription(int i, const std::string& description);  // cut as on append

  // Called after rows were appended (argument: the new row count) and after the
  // table was emptied or closed (argument: 0). May be called on any thread.
  std::function<void(int rowCount)> OnRowsChanged;
  // Called after an engine joined row i (AppendOrJoin), on the joining thread, after
  // the table's mutex is released.
  std::function<void(int row)> OnRowJoined;

 private:
  mutable std::mutex mutex_;
  bool open_ = false;
  std::vector<TResultRecord> rows_;
  int current_ = -1;
  int32_t nextIndex_ = 0;
  // Agreement key -> the first row that came with it.
  std::unordered_map<std::string, int> rowByKey_;
  // "<engine>\n<address as compared>" of every hit that joined a row: the same engine
  // giving the same address again is a duplicate, as if the address were stored.
  std::unordered_set<std::string> joinedAs_;

  // Under mutex_: AppendUnique's limit and duplicate tests and append; key is the
  // hit's agreement key. Returns the new row count, or 0 when nothing was appended.
  int AppendLocked(const std::string& title, const std::string& url, const std::string& description,
                   const std::string& engine, int limit, int position, std::string key);
  void ClearLocked();
};

}  // namespace quellion
