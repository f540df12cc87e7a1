#include "app/MainForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include "app/ControlAlign.h"
#include "app/DefinedEnginesBox.h"
#include "app/FlexActive.h"
#include "app/MainFormBar.h"
#include "app/QtMainThread.h"
#include "app/SettingsStore.h"
#include "app/about/AboutBox.h"
#include "app/choices/MainFormChoices.h"
#include "app/results/EngineOutcomeStrip.h"
#include "app/results/GaugeStatusBar.h"
#include "app/results/ResultsGrid.h"
#include "app/results/ResultsPanel.h"
#include "app/widgets/DesignFont.h"
#include "app/widgets/DesktopShell.h"
#include "engines/EngineSource.h"
#include "search/EngineRests.h"
#include "search/LanguageTable.h"
#include "search/SearchControl.h"
#include "search/StatusTextRelay.h"
#include "ui_MainForm.h"

// The pictures and the help live in the library's resources, which a static library
// must register itself.
static void InitQuellionResources() {
  Q_INIT_RESOURCE(quellion);
}

namespace quellion {
namespace {

// A picture drawn on white shows through where it is white, as the design's
// transparent images did (the colour of the bottom-left pixel is see-through).
QPixmap TransparentPicture(const QPixmap& picture) {
  if (picture.isNull())
    return picture;
  QImage image = picture.toImage();
  const QRgb key = image.pixel(0, image.height() - 1);
  QPixmap result = picture;
  result.setMask(QBitmap::fromImage(image.createMaskFromColor(key, Qt::MaskInColor)));
  return result;
}

}  // namespace

TMainForm::TMainForm(QWidget* parent)
    : TAppBar(parent),
      ownEngines_(std::make_unique<TStoredEngineSource>()),
      engines_(ownEngines_.get()) {
  Init();
}

TMainForm::TMainForm(const TEngineSource& engines, QWidget* parent)
    : TAppBar(parent), engines_(&engines) {
  Init();
}

TMainForm::TMainForm(std::unique_ptr<TAppBarPlatform> platform, TDesktopToolbarService& service,
                     QWidget* parent)
    : TAppBar(std::move(platform), service, parent),
      ownEngines_(std::make_unique<TStoredEngineSource>()),
      engines_(ownEngines_.get()) {
  Init();
}

bool TMainForm::IsDemo() const {
  return engines_->IsDemo();
}

void TMainForm::Init() {
  InitQuellionResources();
  ui_ = std::make_unique<Ui::MainForm>();
  setFont(DesignFont());
  ui_->setupUi(this);
  setWindowTitle(QString::fromLatin1(IsDemo() ? kDemoTitle : "Tarnwick Quellion 2"));
  setGeometry(367, 110, 325, 584);
  setBackgroundRole(QPalette::Button);  // button face
  // Group captions sit on the frame line, as in the design, so the controls placed
  // just below them stay clear of the frame.
  for (QGroupBox* group : findChildren<QGroupBox*>())
    group->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 7px; padding: 0px 1px; }"));
  setAutoFillBackground(true);

  ui_->imgMenu->setPixmap(TransparentPicture(ui_->imgMenu->pixmap()));
  ui_->imgMin->setPixmap(TransparentPicture(ui_->imgMin->pixmap()));
  // The banner placeholder lies under the pages, as in the design.
  ui_->FlexActivePlus1->lower();
  banner_ = ui_->FlexActivePlus1;

  mainThread_ = std::make_unique<TQtMainThread>(this);
  statusRelay_ = std::make_unique<TStatusTextRelay>(
      *mainThread_, [this](const std::string& text) { ShowStatusText(text); });
  searchControl_ = std::make_unique<TSearchControl>(*mainThread_);

  BuildPopupMenu();
  WireControls();
  WireSearchControl();
  TControlAlign::Install(this);
  FormCreate();
}

TMainForm::~TMainForm() {
  FormDestroy();
}

TResultsPanel* TMainForm::Panel4() const {
  return ui_->Panel4;
}
TGaugeStatusBar* TMainForm::StatusBar() const {
  return ui_->dfsStatusBar1;
}

void TMainForm::SetShell(TDesktopShell* shell) {
  shell_ = shell;
  ui_->Panel4->Grid()->SetShell(shell);
}

// --- Construction ---

void TMainForm::BuildPopupMenu() {
  popupMenu1_ = new QMenu(this);
  popupMenu1_->setObjectName(QStringLiteral("PopupMenu1"));
  popupMenu1_->setFont(font());
  alwaysOnTop1_ = popupMenu1_->addAction(QStringLiteral("Always On &Top"));
  alwaysOnTop1_->setObjectName(QStringLiteral("AlwaysOnTop1"));
  alwaysOnTop1_->setCheckable(true);
  autoHide1_ = popupMenu1_->addAction(QStringLiteral("Auto Hi&de"));
  autoHide1_->setObjectName(QStringLiteral("AutoHide1"));
  autoHide1_->setCheckable(true);
  popupMenu1_->addSeparator()->setObjectName(QStringLiteral("N1"));
  QAction* saveResults1 = popupMenu1_->addAction(QStringLiteral("&Save Results\u2026"));
  saveResults1->setObjectName(QStringLiteral("SaveResults1"));
  saveResults1->setShortcut(QKeySequence::Save);
  addAction(saveResults1);  // Ctrl+S works with the menu closed
  popupMenu1_->addSeparator()->setObjectName(QStringLiteral("N3"));
  QAction* help1 = popupMenu1_->addAction(QStringLiteral("&Help"));
  help1->setObjectName(QStringLiteral("Help1"));
  QAction* about1 = popupMenu1_->addAction(QStringLiteral("&About"));
  about1->setObjectName(QStringLiteral("About1"));
  popupMenu1_->addSeparator()->setObjectName(QStringLiteral("N2"));
  QAction* exit1 = popupMenu1_->addAction(QStringLiteral("E&xit"));
  exit1->setObjectName(QStringLiteral("Exit1"));

  connect(popupMenu1_, &QMenu::aboutToShow, this, &TMainForm::PopupMenu1Popup);
  // The check mark is ours to set: the handlers invert the bar's property.
  connect(alwaysOnTop1_, &QAction::triggered, this, [this] { AlwaysOnTop1Click(); });
  connect(autoHide1_, &QAction::triggered, this, [this] { AutoHide1Click(); });
  connect(saveResults1, &QAction::triggered, this, &TMainForm::SaveResults1Click);
  connect(help1, &QAction::triggered, this, &TMainForm::Help1Click);
  connect(about1, &QAction::triggered, this, &TMainForm::About1Click);
  connect(exit1, &QAction::triggered, this, &TMainForm::Exit1Click);
}

void TMainForm::WireControls() {
  // Not the window's context menu: it opens only from the menu picture.
  setContextMenuPolicy(Qt::NoContextMenu);
  ui_->imgMenu->installEventFilter(this);
  ui_->imgMin->installEventFilter(this);
  imgMenuClickTimer_.setSingleShot(true);
  imgMenuClickTimer_.setInterval(QApplication::doubleClickInterval());
  connect(&imgMenuClickTimer_, &QTimer::timeout, this, &TMainForm::imgMenuClick);

  connect(ui_->SearchButton, &QPushButton::clicked, this, &TMainForm::SearchButtonClick);
  // Enter (key 13) in the keyword box acts as a click on the button.
  connect(ui_->Edit1, &QLineEdit::returnPressed, this, &TMainForm::SearchButtonClick);
  // Escape in the keyword box stops a running search (Edit1KeyDown's other key).
  ui_->Edit1->installEventFilter(this);

  // Max Sites: arrows only, never typed.
  if (auto* spinText = ui_->SpinEdit1->findChild<QLineEdit*>())
    spinText->setReadOnly(true);
  connect(ui_->SpinEdit1, &QSpinBox::valueChanged, this,
          [this](int value) { searchControl_->SetMaxSites(value); });

  // One required digit, at most five.
  ui_->ProxyPort->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("[0-9]{1,5}")), ui_->ProxyPort));
  ui_->ProxyPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));

  auto* combo = ui_->LanguageComboBox;
  combo->setCompleter(nullptr);
  connect(combo, &QComboBox::editTextChanged, this, &TMainForm::LanguageTextEdited);

  connect(ui_->FullInfoCheckBox, &QCheckBox::clicked, this, &TMainForm::FullInfoCheckBoxClick);
  ui_->Panel4->Grid()->SetHintSettings([this] { return ui_->HintDescriptionCheckBox->isChecked(); },
                                       [this] { return ui_->HintURLCheckBox->isChecked(); });

  definedEngines_ = new TDefinedEnginesBox(ui_->GroupBox1, LoadEngineCatalog());
  GroupEngineBoxes();

  connect(ui_->Panel4->Grid(), &TResultsGrid::openFailed, this, [this](const QString& address) {
    ui_->dfsStatusBar1->setStatusText(
        QStringLiteral("Could not open %1: no web browser could be started").arg(address));
  });

  // Typing on the Search page goes to the keyword box.
  connect(ui_->PageControl, &QTabWidget::currentChanged, this, [this] { FocusKeywords(); });
}

void TMainForm::FocusKeywords() {
  if (ui_->PageControl->currentWidget() == ui_->SearchTabSheet)
    ui_->Edit1->setFocus(Qt::OtherFocusReason);
}

// Today's engines (the definitions) come first; the classic five follow under a
// heading of their own, Hotbot's box among them.
void TMainForm::GroupEngineBoxes() {
  constexpr int kTop = 24, kLeft = 8, kRow = 16, kMaxListHeight = 200;
  const int listHeight = std::min(definedEngines_->RowsHeight() + 2, kMaxListHeight);
  definedEngines_->SetArea(kTop, listHeight);
  auto* heading = new QLabel(QStringLiteral("Classic engines (historical hosts)"), ui_->GroupBox1);
  heading->setObjectName(QStringLiteral("ClassicEnginesLabel"));
  int y = kTop + listHeight + 6;
  heading->setGeometry(kLeft, y, ui_->GroupBox1->width() - 2 * kLeft, 17);
  y += 18;
  for (QCheckBox* box : {ui_->AltavistaCheckBox, ui_->ExciteCheckBox, ui_->AllTheWebCheckBox,
                         ui_->GoogleCheckBox, ui_->HotBotCheckBox}) {
    box->move(kLeft, y);
    box->setVisible(true);
    y += kRow;
  }
}

void TMainForm::WireSearchControl() {
  ui_->Panel4->SetTable(&searchControl_->Table());
  searchControl_->OnStatusText = statusRelay_->Handler();
  searchControl_->OnSearchStarted = [this] { SetSearchingLook(true); };
  searchControl_->OnSearchFinished = [this] { MultiTasker1AllTaskFinished(); };
  searchControl_->OnEngineOutcomesChanged = [this] {
    ui_->Panel4->OutcomeStrip()->SetOutcomes(searchControl_->EngineOutcomes());
  };
  // The rest ends for this window and the CLI alike; the next search asks the engine.
  ui_->Panel4->OutcomeStrip()->OnTryAgain = [this](const std::string& engine) {
    if (IsDemo())
      return;  // the demo keeps no rests
    std::string error;
    SetEngineRest(DefaultEngineRestsFile(), engine, 0, RestClockNow(), error);
  };
}

void TMainForm::FillLanguageBox() {
  auto* combo = ui_->LanguageComboBox;
  QSignalBlocker block(combo);
  combo->clear();
  for (const TLanguage& language : LanguageTable)
    combo->addItem(QString::fromLatin1(language.Name.data(), int(language.Name.size())));
  combo->setCurrentIndex(0);
}

void TMainForm::LanguageTextEdited(const QString& text) {
  // A typed name selects its row; any other text leaves no row selected.
  auto* combo = ui_->LanguageComboBox;
  const int row = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (row == combo->currentIndex())
    return;
  QSignalBlocker block(combo);
  QLineEdit* edit = combo->lineEdit();
  const int cursor = edit ? edit->cursorPosition() : 0;
  combo->setCurrentIndex(row);
  if (row < 0 && edit) {
    edit->setText(text);
    edit->setCursorPosition(cursor);
  }
}

void TMainForm::FormCreate() {
  // 1-2. The floating rectangle and the dock sizes from the design.
  const QRect bounds = geometry();
  SetFloatRect(TRect{bounds.left(), bounds.top(), bounds.left() + bounds.width(),
                     bounds.top() + bounds.height()});
  SetVertDockSize(ui_->PageControl->width());
  SetHorzDockSize(ui_->PageControl->height());
  // 3. The language box needs the native window: it comes into existence here,
  // registering the bar on its construction defaults.
  CreateHandle();
  FillLanguageBox();
  // 4. The stored choices.
  RestoreSettings();
  searchControl_->SetEngineHosts(engines_->Hosts());
  searchControl_->SetMaxSites(ui_->SpinEdit1->value());
  // 5. Whatever was stored: left, right or floating, and these sizes.
  ImposeMainFormBarValues(*this);
  // 6. Dock or float as stored.
  ApplyState();
}

void TMainForm::FormShow() {
  banner_->Command(2, 1, 1);
  // A freshly started window asks for the keyboard, so that typing at once reaches the
  // keyword box.
  activateWindow();
  FocusKeywords();
}

void TMainForm::FormClose() {
  searchControl_->Stop();
}

void TMainForm::FormDestroy() {
  if (destroyed_)
    return;
  destroyed_ = true;
  banner_->Command(2, 3, 1);
  StoreSettings();  // before the bar leaves the shell, so the edge in use is stored
  DestroyHandle();
  // The grid lets go of the table before the search control (and the table) goes.
  ui_->Panel4->SetTable(nullptr);
  searchControl_.reset();
  // The controls outlive this object's own members (the widget base deletes them):
  // nothing they do while going away may reach the handlers here.
  ui_->Panel4->Grid()->SetHintSettings({}, {});
  ui_->imgMenu->removeEventFilter(this);
  ui_->imgMin->removeEventFilter(this);
  ui_->Edit1->removeEventFilter(this);
  for (QObject* child : findChildren<QObject*>())
    child->disconnect(this);
  imgMenuClickTimer_.stop();
}

// --- Settings ---

bool TMainForm::RestoreSettings() {
  SetRootKey(HKEY_CURRENT_USER);
  SetKeyName(SettingsKeyName());
  bool loaded = false;
  try {
    loaded = TAppBar::RestoreSettings();
  } catch (...) {
    loaded = false;  // a foreign value counts as not loaded
  }
  RestoreWindowChoices(*this);
  definedEngines_->Restore(TRegistry::CurrentUser());
  FullInfoCheckBoxClick();
  return loaded;
}

bool TMainForm::StoreSettings() {
  StoreWindowChoices(*this);
  definedEngines_->Store(TRegistry::CurrentUser());
  SetRootKey(HKEY_CURRENT_USER);
  SetKeyName(SettingsKeyName());
  const bool written = TAppBar::StoreSettings();
  std::string error;
  if (!FlushSettings(&error)) {
    // The window is going away: the status bar would not be seen, so say it on stderr and
    // in a message that has no parent.
    std::fprintf(stderr, "quellion: %s\n", error.c_str());
    ShowStatusText(error);
    (shell_ != nullptr ? *shell_ : DefaultDesktopShell())
        .ShowMessage(nullptr, QString::fromStdString(error));
  }
  return written;
}

// --- Searching ---

TSearchRequest TMainForm::Snapshot() const {
  TSearchRequest request;
  request.Keywords = ui_->Edit1->text().toStdString();
  request.LanguageIndex = ui_->LanguageComboBox->currentIndex();
  request.ProxyName = LineEditBytes(*ui_->ProxyName);
  request.ProxyPort = LineEditBytes(*ui_->ProxyPort);
  request.ProxyUserName = LineEditBytes(*ui_->ProxyUserName);
  request.ProxyPassword = LineEditBytes(*ui_->ProxyPassword);
  request.Engines[EngineIndex(TEngine::Altavista)] = ui_->AltavistaCheckBox->isChecked();
  request.Engines[EngineIndex(TEngine::Excite)] = ui_->ExciteCheckBox->isChecked();
  request.Engines[EngineIndex(TEngine::Hotbot)] = ui_->HotBotCheckBox->isChecked();
  request.Engines[EngineIndex(TEngine::AllTheWeb)] = ui_->AllTheWebCheckBox->isChecked();
  request.Engines[EngineIndex(TEngine::Google)] = ui_->GoogleCheckBox->isChecked();
  request.DefinedEngines = engines_->DefinedEngines(definedEngines_->TickedDefinitions());
  // Rests are kept for the real engines only, shared with the CLI.
  if (!IsDemo())
    request.RestsFile = DefaultEngineRestsFile();
  return request;
}

void TMainForm::SearchButtonClick() {
  // The caption says what a click means; anything but "Begin Search" stops.
  if (ui_->SearchButton->text().toUtf8() != QByteArray(kBeginSearch)) {
    searchControl_->Stop();
    return;
  }
  searchControl_->Start(Snapshot());
}

void TMainForm::SetSearchingLook(bool searching) {
  const Qt::CursorShape shape = searching ? Qt::BusyCursor : Qt::ArrowCursor;
  TResultsGrid* grid = ui_->Panel4->Grid();
  if (searching) {
    ui_->Panel4->setCursor(shape);
    grid->setCursor(shape);
    grid->viewport()->setCursor(shape);
  } else {
    ui_->Panel4->unsetCursor();
    grid->unsetCursor();
    grid->viewport()->unsetCursor();
  }
  ui_->dfsStatusBar1->setGaugeEnabled(searching);
  ui_->SearchButton->setText(QString::fromLatin1(searching ? kStopSearch : kBeginSearch));
}

void TMainForm::MultiTasker1AllTaskFinished() {
  // The status already reads "Search Complete  -  Found N sites".
  SetSearchingLook(false);
}

// On the GUI thread only (statusRelay_ brings the tasks' texts here).
void TMainForm::ShowStatusText(const std::string& text) {
  ui_->dfsStatusBar1->setStatusText(text);
}

// --- Window behaviour ---

void TMainForm::imgMenuClick() {
  const QPoint clientOrigin = ClientRect().topLeft();
  popupMenu1_->popup(mapToGlobal(clientOrigin + QPoint(-1, 13)));
}

void TMainForm::imgMenuDblClick() {
  Exit1Click();
}

void TMainForm::Exit1Click() {
  searchControl_->Stop();
  close();
}

void TMainForm::imgMinClick() {
  Minimize();  // only what can be minimised: not a docked bar under X11
}

void TMainForm::Help1Click() {
  if (!helpWindow_) {
    auto* dialog = new QDialog(this);
    dialog->setObjectName(QStringLiteral("HelpWindow"));
    dialog->setWindowTitle(QStringLiteral("Tarnwick Quellion 2 Help"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* browser = new QTextBrowser(dialog);
    browser->setObjectName(QStringLiteral("HelpBrowser"));
    browser->setOpenExternalLinks(true);
    browser->setSource(QUrl(QStringLiteral("qrc:/quellion/help/index.html")));
    layout->addWidget(browser);
    dialog->resize(420, 480);
    helpWindow_ = dialog;
  }
  helpWindow_->show();
  helpWindow_->raise();
  helpWindow_->activateWindow();
}

void TMainForm::About1Click() {
  // A new box each time, shown modally and released when it closes. The window is its
  // parent, so it stacks above a window that stays on top.
  TAboutBox aboutBox(this, shell_);
  aboutBox.exec();
}

void TMainForm::SaveResults1Click() {
  quellion::SaveResults(this, searchControl_->Table(), saveChooser_,
                        shell_ != nullptr ? *shell_ : DefaultDesktopShell(), ui_->Edit1->text());
}

void TMainForm::FullInfoCheckBoxClick() {
  ui_->Panel4->FullInfoCheckBoxClick(ui_->FullInfoCheckBox->isChecked());
}

void TMainForm::PopupMenu1Popup() {
  alwaysOnTop1_->setChecked(AlwaysOnTop());
  autoHide1_->setChecked(AutoHide());
}

void TMainForm::AlwaysOnTop1Click() {
  SetAlwaysOnTop(!AlwaysOnTop());
  ApplyState();
}

void TMainForm::AutoHide1Click() {
  SetAutoHide(!AutoHide());
  ApplyState();
}

// --- Layout and painting by the bar's edge ---

void TMainForm::FormResize() {
  MainFormBarResize(*this, ui_->Panel1, ui_->imgMenu, ui_->imgMin);
}

void TMainForm::FormPaint(QPainter& painter) {
  MainFormBarPaint(*this, painter);
}

bool TMainForm::event(QEvent* event) {
  const bool result = TAppBar::event(event);
  // The floating caption comes and goes with the edge: the client area moves without
  // the window changing size.
  if (event->type() == QEvent::ContentsRectChange)
    FormResize();
  return result;
}

void TMainForm::resizeEvent(QResizeEvent* event) {
  TAppBar::resizeEvent(event);
  FormResize();
}

void TMainForm::paintEvent(QPaintEvent* event) {
  TAppBar::paintEvent(event);
  QPainter painter(this);
  FormPaint(painter);
}

void TMainForm::showEvent(QShowEvent* event) {
  TAppBar::showEvent(event);
  if (!event->spontaneous() && !shown_) {
    shown_ = true;
    FormShow();
  }
}

void TMainForm::closeEvent(QCloseEvent* event) {
  FormClose();
  TAppBar::closeEvent(event);
  if (event->isAccepted())
    emit closed();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_->Edit1) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && searchControl_ &&
        searchControl_->IsBusy()) {
      searchControl_->Stop();
      return true;
    }
    return TAppBar::eventFilter(watched, event);
  }
  const bool onMenu = watched == ui_->imgMenu;
  const bool onMin = watched == ui_->imgMin;
  if (!onMenu && !onMin)
    return TAppBar::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::MouseButtonRelease: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::LeftButton &&
          static_cast<QWidget*>(watched)->rect().contains(mouse->position().toPoint())) {
        if (onMin)
          imgMinClick();
        // Wait whether this is the first half of a double-click.
        if (onMenu && !imgMenuDblClicked_)
          imgMenuClickTimer_.start();
        imgMenuDblClicked_ = false;
      }
      return true;
    }
    case QEvent::MouseButtonDblClick:
      if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && onMenu) {
        imgMenuClickTimer_.stop();
        imgMenuDblClicked_ = true;
        imgMenuDblClick();
      }
      return true;
    case QEvent::MouseButtonPress:
      return true;
    default:
      return TAppBar::eventFilter(watched, event);
  }
}

}  // namespace quellion
