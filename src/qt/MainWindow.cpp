#include "MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QPropertyAnimation>
#include <QScreen>
#include <QSettings>
#include <algorithm>
#include <optional>

#include "ElidedLabel.h"
#include "LocalizedText.h"
#include "ProgressSheet.h"
#include "ui_MainWindow.h"

namespace quillane::qt {
namespace {

// Where saveGeometry's bytes are kept.
constexpr const char* kGeometryKey = "MainWindowGeometry";
// The panel's distance from the window's sides.
constexpr int kPanelMargin = 8;
// How long an animated change of the window's height takes.
constexpr int kResizeAnimationMs = 200;
// The status bar's distance from the window's sides and bottom.
constexpr int kStatusMargin = 8;
// How wide an entry of Open Recent may be; a longer path is elided in the middle.
constexpr int kRecentEntryWidth = 420;
// The name filters of the save panel, in the order of DocumentType.
const QStringList kDocumentFilters{"PSD (*.psd)", "PSB (*.psb)"};

QString qs(const std::string& text) { return QString::fromStdString(text); }

// The first local path among the dragged URLs, or an empty string.
QString droppedPath(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return url.toLocalFile();
  return {};
}

// Copy, else Link, of the drop actions offered: never Move, after which the source may
// delete what was dragged.
std::optional<Qt::DropAction> safeDropAction(Qt::DropActions possible) {
  if (possible & Qt::CopyAction) return Qt::CopyAction;
  if (possible & Qt::LinkAction) return Qt::LinkAction;
  return std::nullopt;
}

// A dialog that goes when it is answered.
template <typename Dialog>
Dialog* windowModal(Dialog* dialog) {
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowModality(Qt::WindowModal);
  return dialog;
}

}  // namespace

MainWindow::MainWindow() : ui_(std::make_unique<Ui::MainWindow>()) {
  ui_->setupUi(this);
  progress_ = new ProgressSheet(ui_->centralwidget);
  buildResultLine();
  sourcePath_ = new ElidedLabel(ui_->sourcePath);
  sourceSummary_ = new ElidedLabel(ui_->sourceSummary);
  fullContentHeight_ = ui_->content->sizeHint().height();
  setAcceptDrops(true);
  ui_->centralwidget->installEventFilter(this);
  setCaptions();
  setToolTips();
  connectControls();
  // Narrower than its controls, or lower than the shrunk form, the window would hide them.
  setMinimumSize(ui_->content->minimumSizeHint().width(), kShrunkHeight);
  restoreWindowGeometry();
}

MainWindow::~MainWindow() = default;

// The end-of-job line lives in the status bar, below the content, so it shows in both forms.
void MainWindow::buildResultLine() {
  resultLabel_ = new QLabel(ui_->statusbar);
  resultLabel_->setObjectName("resultLine");
  resultText_ = new ElidedLabel(resultLabel_);
  revealButton_ = new QPushButton(ui_->statusbar);
  revealButton_->setObjectName("revealButton");
  ui_->statusbar->setContentsMargins(kStatusMargin, 0, kStatusMargin, kStatusMargin / 2);
  ui_->statusbar->addWidget(resultLabel_, 1);
  ui_->statusbar->addPermanentWidget(revealButton_);
}

void MainWindow::setCaptions() {
  setWindowTitle(localizedText("APP_NAME"));
  ui_->sourceBox->setTitle(localizedText("SOURCE_BOX"));
  ui_->chooseSourceButton->setText(localizedText("CHOOSE_BUTTON"));
  ui_->optionsButton->setText(localizedText("EXPAND_BUTTON"));
  ui_->processButton->setText(localizedText("PROCESS_BUTTON"));
  ui_->optionBox->setTitle(localizedText("OPTION_BOX"));
  ui_->keyNone->setText(localizedText("OPTION_NONE"));
  ui_->keyWhite->setText(localizedText("OPTION_WHITE"));
  ui_->keyBlack->setText(localizedText("OPTION_BLACK"));
  ui_->photoBox->setTitle(localizedText("PHOTO_BOX"));
  ui_->orientCheck->setText(localizedText("OPTION_ORIENT"));
  ui_->ignoreProfilesCheck->setText(localizedText("OPTION_IGNORE_PROFILES"));
  ui_->toleranceLabel->setText(localizedText("OPTION_TOLERANCE"));
  ui_->toleranceCombo->clear();
  for (const int step : kToleranceSteps) {
    ui_->toleranceCombo->addItem(step == 0
                                     ? localizedText("TOLERANCE_EXACT")
                                     : QString::fromStdString(localizedString(
                                           "TOLERANCE_STEPS", {static_cast<long long>(step)})),
                                 step);
  }
  ui_->layerBox->setTitle(localizedText("LAYER_BOX"));
  ui_->naturalOrderCheck->setText(localizedText("OPTION_NATURAL_ORDER"));
  ui_->keepResolutionCheck->setText(localizedText("OPTION_KEEP_RESOLUTION"));
  ui_->multiplyCheck->setText(localizedText("OPTION_MULTIPLY"));
  ui_->groupsCheck->setText(localizedText("OPTION_GROUPS"));
  ui_->modernFormatsCheck->setText(localizedText("OPTION_MODERN_FORMATS"));
  ui_->allFramesCheck->setText(localizedText("OPTION_ALL_FRAMES"));
  revealButton_->setText(localizedText("REVEAL_BUTTON"));
  ui_->menuFile->setTitle(localizedText("MENU_FILE"));
  ui_->actionChooseSource->setText(localizedText("MENU_CHOOSE_SOURCE"));
  ui_->menuOpenRecent->setTitle(localizedText("MENU_OPEN_RECENT"));
  ui_->actionProcess->setText(localizedText("MENU_PROCESS"));
  ui_->actionStop->setText(localizedText("MENU_STOP"));
  ui_->actionQuit->setText(localizedText("MENU_QUIT"));
  ui_->menuHelp->setTitle(localizedText("MENU_HELP"));
  ui_->actionHelp->setText(localizedText("MENU_HELP_CONTENTS"));
  ui_->actionAbout->setText(localizedText("MENU_ABOUT"));
}

void MainWindow::setToolTips() {
  ui_->chooseSourceButton->setToolTip(localizedText("TIP_CHOOSE"));
  ui_->optionsButton->setToolTip(localizedText("TIP_EXPAND"));
  ui_->processButton->setToolTip(localizedText("TIP_PROCESS"));
  ui_->keyNone->setToolTip(localizedText("TIP_OPTION_NONE"));
  ui_->keyWhite->setToolTip(localizedText("TIP_OPTION_WHITE"));
  ui_->keyBlack->setToolTip(localizedText("TIP_OPTION_BLACK"));
  ui_->orientCheck->setToolTip(localizedText("TIP_OPTION_ORIENT"));
  ui_->ignoreProfilesCheck->setToolTip(localizedText("TIP_OPTION_IGNORE_PROFILES"));
  ui_->toleranceCombo->setToolTip(localizedText("TIP_OPTION_TOLERANCE"));
  ui_->naturalOrderCheck->setToolTip(localizedText("TIP_OPTION_NATURAL_ORDER"));
  ui_->keepResolutionCheck->setToolTip(localizedText("TIP_OPTION_KEEP_RESOLUTION"));
  ui_->multiplyCheck->setToolTip(localizedText("TIP_OPTION_MULTIPLY"));
  ui_->groupsCheck->setToolTip(localizedText("TIP_OPTION_GROUPS"));
  ui_->modernFormatsCheck->setToolTip(localizedText("TIP_OPTION_MODERN_FORMATS"));
  ui_->allFramesCheck->setToolTip(localizedText("TIP_OPTION_ALL_FRAMES"));
  revealButton_->setToolTip(localizedText("TIP_REVEAL"));
}

void MainWindow::connectControls() {
  connect(ui_->chooseSourceButton, &QPushButton::clicked, this, &MainWindow::chooseSourceRequested);
  connect(ui_->actionChooseSource, &QAction::triggered, this, &MainWindow::chooseSourceRequested);
  const std::pair<QRadioButton*, KeyColour> keys[] = {{ui_->keyNone, KeyColour::None},
                                                      {ui_->keyWhite, KeyColour::White},
                                                      {ui_->keyBlack, KeyColour::Black}};
  for (const auto& [button, key] : keys)
    connect(button, &QRadioButton::clicked, this, [this, key = key] { emit keyColourChosen(key); });
  connect(ui_->orientCheck, &QCheckBox::clicked, this, &MainWindow::orientChosen);
  connect(ui_->ignoreProfilesCheck, &QCheckBox::clicked, this, &MainWindow::ignoreProfilesChosen);
  connect(ui_->naturalOrderCheck, &QCheckBox::clicked, this, &MainWindow::naturalOrderChosen);
  connect(ui_->keepResolutionCheck, &QCheckBox::clicked, this, &MainWindow::keepResolutionChosen);
  connect(ui_->multiplyCheck, &QCheckBox::clicked, this, &MainWindow::multiplyChosen);
  connect(ui_->groupsCheck, &QCheckBox::clicked, this, &MainWindow::groupsChosen);
  connect(ui_->modernFormatsCheck, &QCheckBox::clicked, this, &MainWindow::modernFormatsChosen);
  connect(ui_->allFramesCheck, &QCheckBox::clicked, this, &MainWindow::allFramesChosen);
  connect(ui_->toleranceCombo, &QComboBox::activated, this, [this](int index) {
    emit toleranceChosen(ui_->toleranceCombo->itemData(index).toInt());
  });
  // Expanded but too low to show the options, the window grows to show them.
  connect(ui_->optionsButton, &QToolButton::clicked, this, [this] {
    if (expanded_ && ui_->optionArea->isHidden()) return setExpanded(true);
    emit optionsToggled();
  });
  connect(ui_->processButton, &QPushButton::clicked, this, &MainWindow::processRequested);
  connect(ui_->actionProcess, &QAction::triggered, this, &MainWindow::processRequested);
  connect(ui_->actionStop, &QAction::triggered, this, &MainWindow::stopRequested);
  connect(progress_, &ProgressSheet::cancelled, this, &MainWindow::stopRequested);
  connect(ui_->actionQuit, &QAction::triggered, this, &MainWindow::quitRequested);
  connect(revealButton_, &QPushButton::clicked, this, &MainWindow::revealRequested);
  connect(ui_->actionAbout, &QAction::triggered, this, &MainWindow::showAbout);
  connect(ui_->actionHelp, &QAction::triggered, this, &MainWindow::showHelp);
  // Process… is the window's default button: Enter presses it whenever it can be pressed.
  ui_->actionProcess->setShortcuts(
      {ui_->actionProcess->shortcut(), QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
}

// A first run (or a stored frame of an earlier version) opens the window in the middle of the
// screen.
void MainWindow::restoreWindowGeometry() {
  resize(width(), expandedHeight());
  if (restoreGeometry(QSettings().value(kGeometryKey).toByteArray())) return;
  move(screen()->availableGeometry().center() - rect().center());
}

// The window, tall enough for the whole content.
int MainWindow::expandedHeight() const {
  return fullContentHeight_ + menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!closeAllowed_) {
    askingToClose_ = true;
    emit quitRequested();
    askingToClose_ = false;
  }
  if (!closeAllowed_) return event->ignore();
  QSettings().setValue(kGeometryKey, saveGeometry());
  QMainWindow::closeEvent(event);
}

void MainWindow::closeWithoutAsking() {
  closeAllowed_ = true;
  // Asked from closeEvent, the close under way goes on.
  if (!askingToClose_) close();
}

void MainWindow::showSource(const std::string& folder, const std::string& summary) {
  sourcePath_->setText(qs(folder));
  sourceSummary_->setText(qs(summary));
}

void MainWindow::setOptions(const OptionValues& options) {
  QRadioButton* const buttons[] = {ui_->keyNone, ui_->keyWhite, ui_->keyBlack};
  for (QRadioButton* button : buttons) {
    // An exclusive button cannot be unchecked; none is checked when the choice is none.
    button->setAutoExclusive(false);
    button->setChecked(options.key && button == buttons[static_cast<int>(*options.key)]);
    button->setAutoExclusive(true);
  }
  ui_->toleranceCombo->setCurrentIndex(ui_->toleranceCombo->findData(options.tolerance));
  ui_->orientCheck->setChecked(options.orient);
  ui_->ignoreProfilesCheck->setChecked(options.ignoreProfiles);
  ui_->naturalOrderCheck->setChecked(options.naturalOrder);
  ui_->keepResolutionCheck->setChecked(options.keepResolution);
  ui_->multiplyCheck->setChecked(options.multiply);
  ui_->groupsCheck->setChecked(options.groups);
  ui_->modernFormatsCheck->setChecked(options.modernFormats);
  ui_->allFramesCheck->setChecked(options.allFrames);
}

// The top edge stays where it is; on screen, the change is animated.
void MainWindow::setExpanded(bool expanded) {
  expanded_ = expanded;
  showOptionsButtonState(expanded);
  const int height = expanded ? expandedHeight() : kShrunkHeight;
  if (!isVisible()) {
    resize(width(), height);
    return;
  }
  auto* animation = new QPropertyAnimation(this, "geometry", this);
  animation->setDuration(kResizeAnimationMs);
  animation->setEndValue(QRect(geometry().topLeft(), QSize(width(), height)));
  animation->start(QAbstractAnimation::DeleteWhenStopped);
}

// The button says whether the options show.
void MainWindow::showOptionsButtonState(bool shown) {
  ui_->optionsButton->setChecked(shown);
  ui_->optionsButton->setArrowType(shown ? Qt::DownArrow : Qt::RightArrow);
}

void MainWindow::setCoveredEnabled(bool enabled) {
  ui_->content->setEnabled(enabled);
  revealButton_->setEnabled(enabled);
}

// The panel covers the content, which is disabled meanwhile; the menu bar stays live.
void MainWindow::showProgressPanel(const std::string& source, const std::string& output) {
  progress_->showPaths(qs(source), qs(output));
  setCoveredEnabled(false);
  progress_->show();
  progress_->raise();
  progress_->cancelButton()->setFocus();
}

void MainWindow::showProgress(double percent, const std::string& fileLine) {
  progress_->showProgress(percent, qs(fileLine));
}

void MainWindow::hideProgressPanel() {
  progress_->hide();
  setCoveredEnabled(true);
}

void MainWindow::showResult(const std::string& text, bool canReveal) {
  resultText_->setText(qs(text));
  resultLabel_->setVisible(!text.empty());
  revealButton_->setVisible(!text.empty() && canReveal);
}

void MainWindow::setCommandsEnabled(const Commands& commands) {
  commands_ = commands;
  ui_->actionChooseSource->setEnabled(commands.chooseSource);
  ui_->menuOpenRecent->setEnabled(commands.chooseSource);
  ui_->chooseSourceButton->setEnabled(commands.chooseSource);
  ui_->actionProcess->setEnabled(commands.process);
  ui_->processButton->setEnabled(commands.process);
  ui_->actionStop->setEnabled(commands.stop);
  ui_->optionArea->setEnabled(commands.options);
}

void MainWindow::showRecentFolders(const std::vector<std::string>& folders) {
  QMenu* menu = ui_->menuOpenRecent;
  menu->clear();
  menu->setToolTipsVisible(true);
  const QFontMetrics metrics(menu->font());
  for (const std::string& path : folders) {
    const QString folder = qs(path);
    QString entry = metrics.elidedText(folder, Qt::ElideMiddle, kRecentEntryWidth);
    QAction* action = menu->addAction(entry.replace('&', "&&"));
    action->setData(folder);
    action->setStatusTip(folder);
    action->setToolTip(folder);
    connect(action, &QAction::triggered, this, [this, folder] { emit folderOpened(folder); });
  }
  menu->addSeparator();
  QAction* clear = menu->addAction(localizedText("MENU_CLEAR_RECENT"));
  clear->setEnabled(!folders.empty());
  connect(clear, &QAction::triggered, this, &MainWindow::clearRecentRequested);
}

// A name typed without an extension gets the chosen type's before the panel asks whether to
// replace an existing file of that name.
void MainWindow::askOutputPath(const std::string& startFolder, const std::string& proposedName,
                               DocumentType proposedType, OutputAnswer answer) {
  auto* panel = windowModal(new QFileDialog(this, localizedText("SAVE_TITLE")));
  panel->setAcceptMode(QFileDialog::AcceptSave);
  panel->setLabelText(QFileDialog::Accept, localizedText("SAVE_PROMPT"));
  panel->setNameFilters(kDocumentFilters);
  const auto chosenType = [panel] {
    return kDocumentFilters.indexOf(panel->selectedNameFilter()) == 1 ? DocumentType::Psb
                                                                      : DocumentType::Psd;
  };
  const auto useFilterSuffix = [panel, chosenType] {
    panel->setDefaultSuffix(chosenType() == DocumentType::Psb ? "psb" : "psd");
  };
  panel->selectNameFilter(kDocumentFilters[proposedType == DocumentType::Psb ? 1 : 0]);
  useFilterSuffix();
  connect(panel, &QFileDialog::filterSelected, panel, useFilterSuffix);
  panel->setDirectory(qs(startFolder));
  panel->selectFile(qs(proposedName));
  connect(panel, &QFileDialog::finished, this,
          [panel, chosenType, answer = std::move(answer)](int result) {
            const QStringList files = panel->selectedFiles();
            if (result != QDialog::Accepted || files.isEmpty()) return answer(std::nullopt);
            answer(OutputChoice{files.front().toStdString(), chosenType()});
          });
  panel->open();
}

void MainWindow::chooseFolder(const std::string& startFolder, PathAnswer answer) {
  auto* panel = windowModal(new QFileDialog(this, localizedText("CHOOSE_TITLE")));
  panel->setFileMode(QFileDialog::Directory);
  panel->setOption(QFileDialog::ShowDirsOnly);
  panel->setLabelText(QFileDialog::Accept, localizedText("OPEN_PROMPT"));
  panel->setDirectory(qs(startFolder));
  connect(panel, &QFileDialog::finished, this, [panel, answer = std::move(answer)](int result) {
    const QList<QUrl> urls = panel->selectedUrls();
    // A folder that is not a local file (a network location) cannot be the source.
    if (result != QDialog::Accepted || urls.isEmpty() || !urls.front().isLocalFile())
      return answer(std::nullopt);
    answer(urls.front().toLocalFile().toStdString());
  });
  panel->open();
}

void MainWindow::alert(const std::string& message, const std::string& detail) {
  auto* box =
      windowModal(new QMessageBox(QMessageBox::Warning, QApplication::applicationDisplayName(),
                                  qs(message), QMessageBox::Ok, this));
  box->setInformativeText(qs(detail));
  box->setDefaultButton(QMessageBox::Ok);
  box->setEscapeButton(QMessageBox::Ok);
  box->open();
  // An alert that no click of the user brought up (a job's failure) takes the keyboard all
  // the same, so that Enter and Escape answer it.
  box->raise();
  box->activateWindow();
}

void MainWindow::askToConfirm(const std::string& question, const std::string& detail,
                              const std::string& action, Confirmation answer) {
  auto* box =
      windowModal(new QMessageBox(QMessageBox::Question, QApplication::applicationDisplayName(),
                                  qs(question), QMessageBox::Cancel, this));
  box->setInformativeText(qs(detail));
  QPushButton* confirm = box->addButton(qs(action), QMessageBox::AcceptRole);
  box->setDefaultButton(QMessageBox::Cancel);
  connect(box, &QMessageBox::finished, this,
          [box, confirm, answer = std::move(answer)] { answer(box->clickedButton() == confirm); });
  box->open();
}

// The application's name is the title: the window system adds it to any other title.
void MainWindow::showAbout() {
  auto* box = windowModal(new QMessageBox(this));
  box->setWindowTitle(QApplication::applicationDisplayName());
  box->setText(localizedText("APP_NAME") + " " + QApplication::applicationVersion() + "\n\n" +
               localizedText("ABOUT_TEXT") + "\n\n" + localizedText("ABOUT_LICENCE"));
  box->setIconPixmap(QApplication::windowIcon().pixmap(64));
  box->open();
}

void MainWindow::showHelp() {
  auto* box = windowModal(new QMessageBox(this));
  box->setWindowTitle(QApplication::applicationDisplayName());
  box->setText(localizedText("HELP_TEXT"));
  box->open();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
  const std::optional<Qt::DropAction> action = safeDropAction(event->possibleActions());
  if (!action || droppedPath(event->mimeData()).isEmpty() || !commands_.chooseSource)
    return event->ignore();
  event->setDropAction(*action);
  event->accept();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QString path = droppedPath(event->mimeData());
  const std::optional<Qt::DropAction> action = safeDropAction(event->possibleActions());
  if (path.isEmpty() || !action) return event->ignore();
  event->setDropAction(*action);
  event->accept();
  emit pathDropped(path);
}

// The content sits at the top of the window and never gets squeezed: the option area below
// the command row shows only when the window is tall enough to hold all of it, so the shrunk
// form shows the source and the commands alone. Taller, the spacer below takes the rest.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_->centralwidget && event->type() == QEvent::Resize) {
    const int height = ui_->centralwidget->height();
    const bool optionsFit = height >= fullContentHeight_;
    ui_->optionArea->setVisible(optionsFit);
    showOptionsButtonState(optionsFit);
    ui_->content->setGeometry(0, 0, ui_->centralwidget->width(),
                              std::max(height, ui_->content->sizeHint().height()));
    // The panel hangs from the top of the content, as wide as it, as tall as it needs.
    progress_->setGeometry(kPanelMargin, 0, ui_->centralwidget->width() - 2 * kPanelMargin,
                           std::min(height, progress_->sizeHint().height()));
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace quillane::qt
