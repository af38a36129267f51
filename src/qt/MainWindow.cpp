#include "MainWindow.h"

#include <algorithm>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>

#include "app/SettingsKeys.h"
#include "ui_MainWindow.h"
#include "ui_ProgressSheet.h"
#include "LocalizedText.h"

namespace quillane::qt {
namespace {

// The sheet's distance from the window's sides.
constexpr int kSheetMargin = 8;

// The first local path among the dragged URLs, or an empty string.
QString droppedPath(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return url.toLocalFile();
  return {};
}

}  // namespace

MainWindow::MainWindow(AppDelegate& controller)
    : controller_(controller), ui_(std::make_unique<Ui::MainWindow>()) {
  ui_->setupUi(this);
  sheet_ = new ProgressSheet(ui_->centralwidget);
  buildResultLine();
  fullContentHeight_ = ui_->content->sizeHint().height();
  setAcceptDrops(true);
  ui_->centralwidget->installEventFilter(this);
  resize(width(), static_cast<int>(AppDelegate::kExpandedHeight));

  recent_ = std::make_unique<RecentFolders>(
      ui_->menuOpenRecent, settingsStore_.settings(),
      [this](const std::string& path) { controller_.applicationOpenFile(path); },
      [this] { controller_.clearRecent(); });
  toolkit_ = std::make_unique<QtToolkit>(this, mainQueue_, settingsStore_, *recent_,
                                         [this] { updateCommands(); });
  setCaptions();
  setToolTips();
  connectControls();
  connectActions();
  // Narrower than its controls, or lower than the shrunk form, the window would hide them.
  setMinimumSize(ui_->content->minimumSizeHint().width(),
                 static_cast<int>(AppDelegate::kShrunkHeight));
}

MainWindow::~MainWindow() {
  // Nothing may post to the queue that goes now.
  controller_.applicationWillTerminate();
  controller_.toolkit = nullptr;
}

// The end-of-job line lives in the status bar, below the content, so it shows in both forms.
void MainWindow::buildResultLine() {
  resultLabel_ = new QLabel(ui_->statusbar);
  resultLabel_->setObjectName("jobResult");
  revealButton_ = new QPushButton(ui_->statusbar);
  revealButton_->setObjectName("btnReveal");
  ui_->statusbar->addWidget(resultLabel_, 1);
  ui_->statusbar->addPermanentWidget(revealButton_);
}

void MainWindow::setCaptions() {
  setWindowTitle(localizedText("APP_NAME"));
  ui_->boxSource->setTitle(localizedText("SOURCE_BOX"));
  ui_->btnSourceSelect->setText(localizedText("CHOOSE_BUTTON"));
  ui_->btnUpDown->setText(localizedText("EXPAND_BUTTON"));
  ui_->btnProcess->setText(localizedText("PROCESS_BUTTON"));
  ui_->boxOption->setTitle(localizedText("OPTION_BOX"));
  ui_->radio0->setText(localizedText("OPTION_NONE"));
  ui_->radio1->setText(localizedText("OPTION_WHITE"));
  ui_->radio2->setText(localizedText("OPTION_BLACK"));
  ui_->checkOrient->setText(localizedText("OPTION_ORIENT"));
  revealButton_->setText(localizedText("REVEAL_BUTTON"));
  ui_->menuFile->setTitle(localizedText("MENU_FILE"));
  ui_->actionSourceSelect->setText(localizedText("MENU_CHOOSE_SOURCE"));
  ui_->menuOpenRecent->setTitle(localizedText("MENU_OPEN_RECENT"));
  ui_->actionProcess->setText(localizedText("MENU_PROCESS"));
  ui_->actionStop->setText(localizedText("MENU_STOP"));
  ui_->actionQuit->setText(localizedText("MENU_QUIT"));
  ui_->menuHelp->setTitle(localizedText("MENU_HELP"));
  ui_->actionAbout->setText(localizedText("MENU_ABOUT"));
}

void MainWindow::setToolTips() {
  ui_->btnSourceSelect->setToolTip(localizedText("TIP_CHOOSE"));
  ui_->btnUpDown->setToolTip(localizedText("TIP_EXPAND"));
  ui_->btnProcess->setToolTip(localizedText("TIP_PROCESS"));
  ui_->radio0->setToolTip(localizedText("TIP_OPTION_NONE"));
  ui_->radio1->setToolTip(localizedText("TIP_OPTION_WHITE"));
  ui_->radio2->setToolTip(localizedText("TIP_OPTION_BLACK"));
  ui_->checkOrient->setToolTip(localizedText("TIP_OPTION_ORIENT"));
  revealButton_->setToolTip(localizedText("TIP_REVEAL"));
}

void MainWindow::connectControls() {
  Ui::ProgressSheet& sheetUi = sheet_->ui();
  window_ = std::make_unique<WindowControl>(this);
  pathSource_ = std::make_unique<PathLine>(ui_->pathCtrlSource);
  sourceSummary_ = std::make_unique<TextLabel>(ui_->sourceSummary);
  progressSource_ = std::make_unique<PathLine>(sheetUi.pathCtrlProgressSrc);
  progressOutput_ = std::make_unique<PathLine>(sheetUi.pathCtrlProgressDst);
  progressFile_ = std::make_unique<TextLabel>(sheetUi.progressFileLine);
  result_ = std::make_unique<ResultBar>(resultLabel_, revealButton_);
  radio0_ = std::make_unique<RadioButtonCell>(ui_->radio0);
  radio1_ = std::make_unique<RadioButtonCell>(ui_->radio1);
  radio2_ = std::make_unique<RadioButtonCell>(ui_->radio2);
  upDown_ = std::make_unique<CheckButton>(ui_->btnUpDown);
  orient_ = std::make_unique<CheckButton>(ui_->checkOrient);
  sheetControl_ = std::make_unique<SheetControl>(
      sheet_, sheetUi.btnCancel, std::vector<QWidget*>{ui_->content, revealButton_});
  progressBar_ = std::make_unique<ProgressBarControl>(sheetUi.progressBar);
  openRecent_ = std::make_unique<ActionItem>(ui_->menuOpenRecent->menuAction());
  stop_ = std::make_unique<ActionItem>(ui_->actionStop);

  controller_.toolkit = toolkit_.get();
  controller_.window = window_.get();
  controller_.pathCtrlSource = pathSource_.get();
  controller_.sourceSummary = sourceSummary_.get();
  controller_.radio0 = radio0_.get();
  controller_.radio1 = radio1_.get();
  controller_.radio2 = radio2_.get();
  controller_.checkOrient = orient_.get();
  controller_.btnUpDown = upDown_.get();
  controller_.panelProgress = sheetControl_.get();
  controller_.progressBar = progressBar_.get();
  controller_.pathCtrlProgressSrc = progressSource_.get();
  controller_.pathCtrlProgressDst = progressOutput_.get();
  controller_.progressFileLine = progressFile_.get();
  controller_.jobResultLine = result_.get();
  controller_.menuOpenRecent = openRecent_.get();
  controller_.menuItemStop = stop_.get();
}

void MainWindow::connectActions() {
  auto& c = controller_;
  connect(ui_->btnSourceSelect, &QPushButton::clicked, this, [&c] { c.onBtnSourceSelectClick(); });
  connect(ui_->actionSourceSelect, &QAction::triggered, this, [&c] { c.onBtnSourceSelectClick(); });
  const std::pair<QRadioButton*, RadioButtonCell*> cells[] = {
      {ui_->radio0, radio0_.get()}, {ui_->radio1, radio1_.get()}, {ui_->radio2, radio2_.get()}};
  for (const auto& [button, cell] : cells)
    connect(button, &QRadioButton::clicked, this, [&c, cell = cell] { c.onRawSelected(*cell); });
  connect(ui_->checkOrient, &QCheckBox::clicked, this, [&c] { c.onOrientClick(); });
  connect(ui_->btnUpDown, &QToolButton::toggled, this, [this](bool expanded) {
    ui_->btnUpDown->setArrowType(expanded ? Qt::DownArrow : Qt::RightArrow);
  });
  connect(ui_->btnUpDown, &QToolButton::clicked, this, [&c] { c.onBtnUpDownClick(); });
  connect(ui_->btnProcess, &QPushButton::clicked, this, [&c] { c.onProcessClick(); });
  connect(ui_->actionProcess, &QAction::triggered, this, [&c] { c.onProcessClick(); });
  connect(ui_->actionStop, &QAction::triggered, this, [&c] { c.onMenuStop(); });
  connect(ui_->actionQuit, &QAction::triggered, this, [&c] { c.onMenuQuit(); });
  connect(ui_->actionAbout, &QAction::triggered, this, [this] { showAbout(); });
  connect(revealButton_, &QPushButton::clicked, this, [&c] { c.onRevealClick(); });
  connect(ui_->menuFile, &QMenu::aboutToShow, this, [this] { updateCommands(); });
  sheet_->onCancel = [&c] { c.sheetCancel(); };
  // Process… is the window's default button: Enter presses it whenever it can be pressed.
  ui_->actionProcess->setShortcuts(
      {ui_->actionProcess->shortcut(), QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
}

void MainWindow::launch(const QStringList& paths) {
  // A first run opens the window in the middle of the screen.
  if (!settingsStore_.settings().contains(kMainFrameName)) {
    const QRect screen = this->screen()->availableGeometry();
    move(screen.center() - rect().center());
  }
  controller_.applicationDidFinishLaunching();
  ui_->btnUpDown->setArrowType(ui_->btnUpDown->isChecked() ? Qt::DownArrow : Qt::RightArrow);
  show();
  for (const QString& path : paths)
    controller_.applicationOpenFile(QFileInfo(path).absoluteFilePath().toStdString());
}

void MainWindow::updateCommands() {
  using Action = AppDelegate::Action;
  const bool source = controller_.validateMenuItem(Action::onBtnSourceSelectClick);
  const bool process = controller_.validateMenuItem(Action::onProcessClick);
  ui_->actionSourceSelect->setEnabled(source);
  ui_->menuOpenRecent->setEnabled(source);
  ui_->btnSourceSelect->setEnabled(source);
  ui_->actionProcess->setEnabled(process);
  ui_->btnProcess->setEnabled(process);
  ui_->actionStop->setEnabled(controller_.validateMenuItem(Action::onMenuStop));
  ui_->boxOption->setEnabled(controller_.validateMenuItem(Action::onRawSelected));
}

void MainWindow::showAbout() {
  QMessageBox::about(this, localizedTitle("MENU_ABOUT"),
                     localizedText("APP_NAME") + " " + QApplication::applicationVersion() + "\n\n" +
                         localizedText("ABOUT_TEXT"));
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!droppedPath(event->mimeData()).isEmpty() &&
      controller_.validateMenuItem(AppDelegate::Action::onBtnSourceSelectClick))
    event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QString path = droppedPath(event->mimeData());
  if (path.isEmpty()) return;
  controller_.applicationOpenFile(path.toStdString());
  event->acceptProposedAction();
}

// The content sits at the top of the window and never gets squeezed: the option area below
// the command row shows only when the window is tall enough to hold all of it, so the shrunk
// form shows the source and the commands alone.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_->centralwidget && event->type() == QEvent::Resize) {
    const int height = ui_->centralwidget->height();
    ui_->boxOption->setVisible(height >= fullContentHeight_);
    ui_->content->setGeometry(0, 0, ui_->centralwidget->width(),
                              std::max(height, ui_->content->sizeHint().height()));
    // The sheet hangs from the top of the content, as wide as it, as tall as it needs.
    sheet_->setGeometry(kSheetMargin, 0, ui_->centralwidget->width() - 2 * kSheetMargin,
                        std::min(height, sheet_->sizeHint().height()));
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace quillane::qt
