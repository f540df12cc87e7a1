#pragma once

#include <QPointer>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "app/results/SaveResults.h"
#include "appbar/AppBar.h"

class QMenu;
class QAction;

namespace Ui {
class MainForm;
}

namespace quellion {

class TDefinedEnginesBox;
class TEngineSource;

class TAdvertisingBanner;
class TDesktopShell;
class TQtMainThread;
class TStatusTextRelay;
class TSearchControl;
class TResultsPanel;
class TGaugeStatusBar;
struct TSearchRequest;

// The main window: a desktop bar holding the Search, Engines and Configure pages, the
// option menu and the two pictures. The design (controls, names, captions, bounds)
// lives in MainForm.ui; the search itself is TSearchControl's.
//
// Lifecycle: the constructor runs FormCreate (settings read once); the destructor runs
// FormDestroy (settings written once, before the bar unregisters from the shell).
// Everything here runs on the GUI thread; engine tasks reach the window only through
// the search control's events, which are handed over to this thread.
class TMainForm : public TAppBar {
  Q_OBJECT

 public:
  // Searches the engines as stored (TStoredEngineSource).
  explicit TMainForm(QWidget* parent = nullptr);
  // Searches the engines the source gives (borrowed; it must outlive the window), such
  // as the offline demo's.
  explicit TMainForm(const TEngineSource& engines, QWidget* parent = nullptr);
  // For tests: the bar runs against the given platform and toolbar service.
  TMainForm(std::unique_ptr<TAppBarPlatform> platform, TDesktopToolbarService& service,
            QWidget* parent = nullptr);
  ~TMainForm() override;

  // The design's controls, found by their object names.
  Ui::MainForm& Controls() const { return *ui_; }
  QMenu* PopupMenu1() const { return popupMenu1_; }
  TSearchControl& SearchControl() const { return *searchControl_; }
  TResultsPanel* Panel4() const;
  TGaugeStatusBar* StatusBar() const;

  // The banner that receives the window's two calls (default: the FlexActivePlus1
  // placeholder). Borrowed; it must outlive the window.
  void SetAdvertisingBanner(TAdvertisingBanner* banner) { banner_ = banner; }
  // The shell that opens hits and links (borrowed); nullptr: the desktop's own.
  void SetShell(TDesktopShell* shell);
  // Where "Save Results…" asks for its file; unset: the file dialog.
  void SetSaveChooser(TSaveChooser chooser) { saveChooser_ = std::move(chooser); }

  // Event handlers, public so that tests can run them as the events would.
  void SearchButtonClick();
  void MultiTasker1AllTaskFinished();
  void imgMenuClick();
  void imgMenuDblClick();
  void imgMinClick();
  void Help1Click();
  void About1Click();
  void Exit1Click();
  void PopupMenu1Popup();
  void AlwaysOnTop1Click();
  void AutoHide1Click();
  void FullInfoCheckBoxClick();
  // "Save Results…" (and Ctrl+S): all rows or the ticked ones as CSV, JSON or HTML.
  void SaveResults1Click();

  // The settings store: the bar's record plus the window's named values.
  bool RestoreSettings() override;
  bool StoreSettings() override;

  // The help window opened by "&Help" (nullptr before the first use).
  QWidget* HelpWindow() const { return helpWindow_; }

  // The application's help file name, as the design records it; the help shown is
  // the bundled HTML.
  static constexpr const char* kHelpFile = "D:\\Projects\\Quellion\\QUELLION.HLP";
  static constexpr const char* kBeginSearch = "Begin Search";
  static constexpr const char* kStopSearch = "Stop Search";
  static constexpr const char* kDemoTitle = "Tarnwick Quellion 2 - Demo";
  bool IsDemo() const;

 signals:
  // The window was closed (close box, "E&xit", double-click on the menu picture).
  void closed();

 protected:
  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Init();
  void FormCreate();
  void FormShow();
  void FormClose();
  void FormDestroy();
  void FormResize();
  void FormPaint(QPainter& painter);
  void BuildPopupMenu();
  void WireControls();
  void WireSearchControl();
  void FillLanguageBox();
  void GroupEngineBoxes();
  void LanguageTextEdited(const QString& text);
  void SetSearchingLook(bool searching);
  // The keyword box takes the focus while the Search page is shown.
  void FocusKeywords();
  void ShowStatusText(const std::string& text);
  TSearchRequest Snapshot() const;

  std::unique_ptr<Ui::MainForm> ui_;
  // Declared before the search control: posted calls must stay droppable until the
  // search control (and with it every task) is gone.
  std::unique_ptr<TQtMainThread> mainThread_;
  // Outlives the search control, whose tasks hand it their status texts.
  std::unique_ptr<TStatusTextRelay> statusRelay_;
  std::unique_ptr<TSearchControl> searchControl_;
  TDefinedEnginesBox* definedEngines_ = nullptr;  // on the Engines page
  QMenu* popupMenu1_ = nullptr;
  QAction* alwaysOnTop1_ = nullptr;
  QAction* autoHide1_ = nullptr;
  TSaveChooser saveChooser_;
  // Where the engines are: the stored ones unless a source was given.
  std::unique_ptr<const TEngineSource> ownEngines_;
  const TEngineSource* engines_ = nullptr;
  QPointer<QWidget> helpWindow_;
  TAdvertisingBanner* banner_ = nullptr;
  TDesktopShell* shell_ = nullptr;
  QTimer imgMenuClickTimer_;  // a single click waits to see whether a double-click follows
  bool imgMenuDblClicked_ = false;
  bool shown_ = false;
  bool destroyed_ = false;
};

}  // namespace quellion
