#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <memory>

#include "app/View.h"

namespace Ui {
class MainWindow;
}

namespace quillane::qt {

class ElidedLabel;
class ProgressSheet;

// The main window: the source folder and its summary, the options, Process, the progress
// panel and the end-of-job line. It shows what the controller tells it (View) and emits the
// user's intentions as signals. Dialogs are window-modal and answer later. Folders dropped on
// the window open as from outside. The window's geometry is kept between runs. Closing it
// asks the controller, which closes it (closeWithoutAsking) now or after a question.
class MainWindow final : public QMainWindow, public View {
  Q_OBJECT
 public:
  // The height of the whole window without the option area.
  static constexpr int kShrunkHeight = 194;

  MainWindow();
  ~MainWindow() override;

  ProgressSheet& progressPanel() { return *progress_; }
  void closeWithoutAsking();

  // ---- View ----
  void showSource(const std::string& folder, const std::string& summary) override;
  void setOptions(const OptionValues& options) override;
  void setExpanded(bool expanded) override;
  void showProgressPanel(const std::string& source, const std::string& output) override;
  void showProgress(double percent, const std::string& fileLine) override;
  void hideProgressPanel() override;
  void showResult(const std::string& text, bool canReveal) override;
  void setCommandsEnabled(const Commands& commands) override;
  void showRecentFolders(const std::vector<std::string>& folders) override;
  void askOutputPath(const std::string& startFolder, const std::string& proposedName,
                     DocumentType proposedType, OutputAnswer answer) override;
  void chooseFolder(const std::string& startFolder, PathAnswer answer) override;
  void alert(const std::string& message, const std::string& detail) override;
  void askToConfirm(const std::string& question, const std::string& detail,
                    const std::string& action, Confirmation answer) override;

 signals:
  void chooseSourceRequested();
  void folderOpened(const QString& folder);  // picked from Open Recent
  void pathDropped(const QString& path);
  void clearRecentRequested();
  void keyColourChosen(quillane::KeyColour key);
  void orientChosen(bool orient);
  void ignoreProfilesChosen(bool ignore);
  void naturalOrderChosen(bool natural);
  void toleranceChosen(int tolerance);
  void keepResolutionChosen(bool keep);
  void multiplyChosen(bool multiply);
  void groupsChosen(bool groups);
  void modernFormatsChosen(bool modern);
  void allFramesChosen(bool all);
  void optionsToggled();
  void processRequested();
  void stopRequested();
  void quitRequested();
  void revealRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildResultLine();
  void setCaptions();
  void setToolTips();
  void connectControls();
  void restoreWindowGeometry();
  int expandedHeight() const;
  void showAbout();
  void showHelp();
  void setCoveredEnabled(bool enabled);
  void showOptionsButtonState(bool shown);

  std::unique_ptr<Ui::MainWindow> ui_;
  ProgressSheet* progress_;    // owned by the central widget
  QLabel* resultLabel_;        // owned by the status bar
  QPushButton* revealButton_;  // owned by the status bar
  ElidedLabel* sourcePath_;    // owned by its label, as the two below
  ElidedLabel* sourceSummary_;
  ElidedLabel* resultText_;
  int fullContentHeight_ = 0;  // the content's height with the option area shown
  Commands commands_;
  bool expanded_ = true;       // as the controller last said
  bool closeAllowed_ = false;  // the controller has closed the window
  bool askingToClose_ = false;
};

}  // namespace quillane::qt
