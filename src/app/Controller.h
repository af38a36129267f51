#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

#include "app/AppServices.h"
#include "app/FolderSummary.h"
#include "app/RecentFolders.h"
#include "app/Settings.h"
#include "app/View.h"
#include "job/Job.h"

namespace quillane {

// The application: the source folder and its summary, the options, the settings and recent
// folders, and one job at a time on a worker thread. It knows no widget: it tells the view
// what to show and takes the user's intentions as calls. Everything here runs on the main
// thread except the job itself, which owns its copy of the request.
//
// Defined one concern per file: Controller.cpp (settings, options, commands, Quit),
// SourceFolder.cpp (the source folder and its summary), JobControl.cpp (the job, its progress,
// Stop and the end-of-job line).
class Controller {
 public:
  using JobFunction = std::function<JobResult(JobRequest, JobProgress&, std::stop_token)>;

  // How often the progress panel shows how far the job is.
  static constexpr std::chrono::milliseconds kProgressInterval{300};
  // How long the folder must stay unchanged before it is summarized again: a file being
  // copied in changes it many times.
  static constexpr std::chrono::milliseconds kSummaryDelay{300};
  // A job that has run longer than this is not ended by Quit without asking.
  static constexpr std::chrono::seconds kQuitQuestionAfter{3};

  // Shows the stored settings in the view. The job is runJob unless a test gives another.
  Controller(View& view, AppServices& services, SettingsStore& store, JobFunction job = runJob);
  // Asks a running job to stop and waits for its worker.
  ~Controller();
  Controller(const Controller&) = delete;
  Controller& operator=(const Controller&) = delete;

  // ---- The source folder ----
  // Asks the user for a folder; the one chosen becomes the source and a recent folder.
  void chooseSourceFolder();
  // A folder opened from outside (a drop, Open Recent). Takes it as the source if it is a
  // readable folder; otherwise says so and leaves the source as it was.
  bool openFolder(const std::string& path);
  // A folder given by the user (the folder panel, the command line, Open With): opened, and
  // kept in Open Recent.
  bool openAndRemember(const std::string& path);
  // A dropped folder, or the folder of a dropped image file.
  bool openDropped(const std::string& path);
  void clearRecentFolders();
  const std::string& sourceFolder() const { return source_; }

  // ---- Options ----
  void setKeyColour(KeyColour key);
  void setOrient(bool orient);
  // Keep every sample as stored: embed no colour profile and convert nothing.
  void setIgnoreProfiles(bool ignore);
  // File names ordered by the value of their runs of digits.
  void setNaturalOrder(bool natural);
  // One of kToleranceSteps; any other stored value counts as the nearest step below.
  void setTolerance(int tolerance);
  // The document declares the first image's resolution.
  void setKeepResolution(bool keep);
  // Every layer in Multiply blend mode.
  void setMultiply(bool multiply);
  // Each subfolder a layer group of its images.
  void setGroups(bool groups);
  // Also read WebP, HEIC, AVIF and JPEG XL files.
  void setModernFormats(bool modern);
  // Every frame of a GIF and page of a TIFF a layer of its own.
  void setAllFrames(bool all);
  void toggleOptions();

  // ---- The job ----
  // Asks for the output path, then runs the job on the source folder's images.
  void process();
  // Stops the job before its next file; the panel goes at once.
  void stop();
  // Stops a running job, waits for its worker, then quits; asks first when the job has run
  // for a while.
  void quit();
  // Shows the file that the last job wrote in the file manager.
  void revealResult();

  Commands commands() const;

 private:
  // Running: the panel shows. Stopping: the panel is gone but the worker finishes its file.
  enum class JobState { Idle, Running, Stopping };

  void updateCommands();
  void showRecentFolders();
  void summarizeSource();
  void requestSummary();
  void folderChanged();
  void showSummary(const FolderSummary& summary);
  bool sourceMayHoldImages() const;
  void outputChosen(const View::OutputChoice& choice);
  void startJob(const std::string& output);
  void quitNow();
  void showProgress();
  // Acts on the end of the job once its worker has ended; later calls do nothing.
  void finishJob();
  void showJobResult(const JobResult& result);
  std::string saveStartFolder() const;

  View& view_;
  AppServices& services_;
  Settings settings_;
  RecentFolders recent_;
  JobFunction job_;

  std::string source_;
  std::optional<FolderSummary> summary_;  // the source's latest; nothing until it comes
  std::unique_ptr<Timer> summaryDelay_;
  OptionValues options_;
  bool expanded_ = true;

  JobState state_ = JobState::Idle;
  std::unique_ptr<Timer> progressTimer_;
  std::chrono::steady_clock::time_point jobStart_;
  std::string writtenPath_;  // the file that the last job wrote
  JobProgress progress_;
  std::optional<JobResult> result_;  // set by the worker; read once it has been joined
  std::jthread worker_;              // after the fields it uses: it ends before they go
  // Last: its thread ends before the fields it delivers to go.
  std::unique_ptr<FolderSummarizer> summarizer_;
};

}  // namespace quillane
