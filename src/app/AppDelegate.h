#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/FolderSummary.h"
#include "app/Settings.h"
#include "app/Toolkit.h"
#include "app/JobRecord.h"

namespace quillane {

// The application controller: the job-side record plus the window side. It knows no widget:
// the front end connects its controls and services (Toolkit.h) and sends it the user's actions.
// Everything here runs on the main thread except the job's wrapper, which runs on the worker.
//
// Its operations are defined one concern per file: Launch.cpp (launch, options, window form),
// SourceFolder.cpp (the source folder, its summary, folders opened from outside),
// JobLaunch.cpp (process command, progress sheet, worker), JobResult.cpp (the save panel's
// proposals, the line that says how a job ended), Menus.cpp (validation, Quit, recent
// folders), UserDefaults.cpp (default settings).
class AppDelegate : public JobRecord {
 public:
  // The commands whose enabled state depends on the job (validateMenuItem).
  enum class Action { onBtnSourceSelectClick, onProcessClick, onMenuStop, onRawSelected, other };

  // Sheet return codes.
  static constexpr int kSheetOK = 128;
  static constexpr int kSheetCancel = 129;

  // Main window heights in points, expanded and shrunk.
  static constexpr double kExpandedHeight = 333.0;
  static constexpr double kShrunkHeight = 194.0;

  // The progress sheet polls the job this often, in seconds.
  static constexpr double kProgressInterval = 0.3;

  AppDelegate() = default;
  // Asks a running job to stop and waits for its worker.
  ~AppDelegate() override;

  // ---- Window-side fields: connected by the front end, not owned ----
  toolkit::Toolkit* toolkit = nullptr;
  toolkit::Window* window = nullptr;
  toolkit::PathControl* pathCtrlSource = nullptr;
  toolkit::TextLine* sourceSummary = nullptr;  // what the source folder holds
  toolkit::RadioCell* radio0 = nullptr;
  toolkit::RadioCell* radio1 = nullptr;
  toolkit::RadioCell* radio2 = nullptr;
  toolkit::Button* checkOrient = nullptr;
  toolkit::Button* btnUpDown = nullptr;
  toolkit::Sheet* panelProgress = nullptr;
  toolkit::ProgressBar* progressBar = nullptr;
  toolkit::PathControl* pathCtrlProgressSrc = nullptr;
  toolkit::PathControl* pathCtrlProgressDst = nullptr;
  toolkit::TextLine* progressFileLine = nullptr;  // the file being processed, and its number
  toolkit::ResultLine* jobResultLine = nullptr;   // how the last job ended
  toolkit::MenuItem* menuOpenRecent = nullptr;
  toolkit::MenuItem* menuItemStop = nullptr;

  // ---- Window-side fields owned here ----
  std::string dstPath;
  std::map<std::string, std::string> defaultsDic;
  std::unique_ptr<toolkit::Timer> timerProgress;
  toolkit::RecentList* theDocCont = nullptr;  // fetched on first use

  // The job the worker runs; createPSDFile unless a test puts another in.
  std::function<void(AppDelegate&, const std::vector<std::string>& files, const std::string& path)>
      jobBody;

  // ---- Launch and main window (Launch.cpp) ----
  void applicationDidFinishLaunching();
  void applicationWillTerminate();
  bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }
  void onBtnSourceSelectClick();
  void onRawSelected(const toolkit::RadioCell& selectedCell);
  void onOrientClick();
  void expandWindowAnimate(bool animate);
  void shrinkWindowAnimate(bool animate);
  void onBtnUpDownClick();
  // ---- The source folder (SourceFolder.cpp) ----
  // Takes the folder as the source if it is a readable folder; otherwise says so in an alert
  // and leaves the source as it was. Answers whether it was taken.
  bool applicationOpenFile(const std::string& path);

  // ---- Job launch and progress sheet (JobLaunch.cpp) ----
  void onProcessClick();
  std::optional<std::string> outputFileDialog();
  void showSheet();
  void sheetDidEnd(int returnCode);
  void sheetOk();
  void sheetCancel();
  void tickProgress();
  void onMenuStop();
  // Whether a sheet is up.
  bool sheetShown() const { return sheetShown_; }
  // Whether a worker still runs a job (a cancelled one may run on after its sheet is gone).
  bool jobRunning() const { return !progressFinished; }
  // Waits for the worker, if any, to end; the second asks a running job to stop first.
  void waitForWorker();
  void stopAndWaitForWorker();

  // ---- The save panel's proposals and the end of a job (JobResult.cpp) ----
  // The save panel's start folder: the last output folder, else the default one, else home.
  std::string saveStartFolder();
  // The source folder's name with ".psd", or nothing when it has no name.
  std::string proposedDocumentName() const;
  // The chosen output path with ".psd" added unless it ends in ".psd" or ".psb" (any case).
  static std::string withDocumentExtension(const std::string& path);
  // Shows the file that the last job wrote in the file manager.
  void onRevealClick();

  // ---- Menus and recent folders (Menus.cpp) ----
  bool validateMenuItem(Action action) const;
  void onMenuQuit();
  void addToRecent(const std::vector<std::string>& paths);
  void clearRecent();

  // ---- Default settings (UserDefaults.cpp) ----
  void makeDefaultDictionary();
  void registerDefaultValue();
  // The settings store with the registered defaults under it.
  Settings& userDefaults();

 private:
  void setWindowHeight(double height, double originShift, bool animate);
  static bool isReadableFolder(const std::string& path);
  bool setSourceFolder(const std::string& path);
  void summarizeSourceFolder();
  void showFolderSummary(const FolderSummary& summary);
  std::string summaryText(const FolderSummary& summary);
  void runJobWrapper(std::vector<std::string> files, std::string path);
  void workerEnded(bool failed);
  void showJobResult(bool failed);
  std::string progressFileText(const std::string& file) const;
  void postToMain(std::function<void()> block);
  void commandsChanged();

  std::unique_ptr<Settings> userDefaults_;
  std::thread worker_;
  bool sheetShown_ = false;
  bool finishSeen_ = false;     // the finish of the current job has been acted on
  bool stopRequested_ = false;  // the current job's sheet was cancelled
  std::string writtenPath_;     // the file that the last job wrote
  // Last: its thread ends before the fields it delivers to go.
  std::unique_ptr<FolderSummarizer> summarizer_;
};

}  // namespace quillane
