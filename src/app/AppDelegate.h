#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/Settings.h"
#include "app/Toolkit.h"
#include "job/JobRecord.h"

namespace quillane {

// The application controller: the job-side record plus the window side. It knows no widget:
// the front end connects its controls and services (Toolkit.h) and sends it the user's actions.
// Everything here runs on the main thread except the job's wrapper, which runs on the worker.
//
// Its operations are defined one concern per file: Launch.cpp (launch, source folder, option,
// window form, folders opened from outside), JobLaunch.cpp (process command, progress sheet,
// worker), Menus.cpp (validation, Quit, recent folders), UserDefaults.cpp (default settings).
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
  toolkit::RadioCell* radio0 = nullptr;
  toolkit::RadioCell* radio1 = nullptr;
  toolkit::RadioCell* radio2 = nullptr;
  toolkit::Button* btnUpDown = nullptr;
  toolkit::Sheet* panelProgress = nullptr;
  toolkit::ProgressBar* progressBar = nullptr;
  toolkit::PathControl* pathCtrlProgressSrc = nullptr;
  toolkit::PathControl* pathCtrlProgressDst = nullptr;
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
  void expandWindowAnimate(bool animate);
  void shrinkWindowAnimate(bool animate);
  void onBtnUpDownClick();
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

  // ---- Menus and recent folders (Menus.cpp) ----
  bool validateMenuItem(Action action) const;
  void onMenuQuit();
  void addToRecent(const std::vector<std::string>& paths);
  void clearRecent();

  // ---- Default settings (UserDefaults.cpp) ----
  void makeDefaultDictionary();
  void registerDefaultValue();
  void removeDefaultValue();
  void resetDefaultValue();
  // The settings store with the registered defaults under it.
  Settings& userDefaults();

 private:
  void setWindowHeight(double height, double originShift, bool animate);
  void setSourceFolder(const std::string& path);
  void runJobWrapper(std::vector<std::string> files, std::string path);
  void workerEnded();
  void postToMain(std::function<void()> block);
  void commandsChanged();

  std::unique_ptr<Settings> userDefaults_;
  std::thread worker_;
  bool sheetShown_ = false;
  bool finishSeen_ = false;  // the finish of the current job has been acted on
};

}  // namespace quillane
