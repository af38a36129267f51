#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The few windowing services the application controller needs, as abstract interfaces. The
// desktop application implements them with Qt (src/qt), the tests with fakes. Everything here
// is called on the main thread, except MainQueue::post, which any thread may call.
namespace quillane::toolkit {

// A window frame in points, origin at the bottom-left of the screen, y growing upwards.
struct WindowFrame {
  double x = 0.0;
  double y = 0.0;
  double width = 0.0;
  double height = 0.0;
  friend bool operator==(const WindowFrame&, const WindowFrame&) = default;
};

class Window {
 public:
  virtual ~Window() = default;
  // Restores the frame saved under this name, and saves it there whenever it changes.
  virtual void setFrameAutosaveName(const std::string& name) = 0;
  virtual WindowFrame frame() const = 0;
  virtual void setFrame(const WindowFrame& frame, bool animate) = 0;
};

// Shows a path (a folder or a file), elided in the middle when it is too long; never takes
// the keyboard focus.
class PathControl {
 public:
  virtual ~PathControl() = default;
  virtual void setPath(const std::string& path) = 0;
};

// A line of text in the window, elided in the middle when it is too long.
class TextLine {
 public:
  virtual ~TextLine() = default;
  virtual void setText(const std::string& text) = 0;
};

// The line that says how the last job ended, with a button that shows the written file in the
// file manager. An empty text hides the line.
class ResultLine {
 public:
  virtual ~ResultLine() = default;
  virtual void setResult(const std::string& text, bool canRevealFile) = 0;
};

// A toggle button or a radio cell: state 1 on, 0 off.
class Button {
 public:
  virtual ~Button() = default;
  virtual int state() const = 0;
  virtual void setState(int state) = 0;
};

class RadioCell : public Button {
 public:
  virtual int tag() const = 0;
};

class ProgressBar {
 public:
  virtual ~ProgressBar() = default;
  virtual void setDoubleValue(double value) = 0;
  virtual void setNeedsDisplay() = 0;
};

class MenuItem {
 public:
  virtual ~MenuItem() = default;
  virtual void setEnabled(bool enabled) = 0;
};

// A panel shown as a sheet over the main window. end(code) ends a sheet that is up and then
// calls its didEnd with the code; with no sheet up it does nothing.
class Sheet {
 public:
  virtual ~Sheet() = default;
  virtual void begin(std::function<void(int code)> didEnd) = 0;
  virtual void end(int code) = 0;
  virtual void orderOut() = 0;
};

// A URL that the open panel answers: only file URLs carry a path.
struct ChosenUrl {
  std::string text;  // the URL as the user would read it
  bool isFileUrl = false;
  std::string path;
};

struct OpenPanelOptions {
  bool canChooseFiles = false;
  bool canChooseDirectories = true;
  bool canCreateDirectories = true;
  std::string prompt;
  std::string directory;
};

// Panel results: 1 OK, 0 cancel.
inline constexpr int kPanelOK = 1;
inline constexpr int kPanelCancel = 0;

struct SavePanelResult {
  int result = kPanelCancel;
  std::string path;
};

struct SavePanelOptions {
  std::string title;
  std::string prompt;
  std::vector<std::string> allowedFileTypes;  // the first is the one chosen at first
  std::string directory;                      // where the panel starts
  std::string nameFieldValue;                 // the name it proposes
};

// A repeating timer; it fires until invalidated or destroyed.
class Timer {
 public:
  virtual ~Timer() = default;
  virtual void invalidate() = 0;
};

// The serial queue of the main thread: blocks run one after another in posting order, and a
// block that runs a modal panel holds the blocks posted behind it until it returns.
class MainQueue {
 public:
  virtual ~MainQueue() = default;
  virtual void post(std::function<void()> block) = 0;
};

// The per-user settings store: plain string values by key, kept between runs.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual std::optional<std::string> value(const std::string& key) const = 0;
  virtual void setValue(const std::string& key, const std::string& value) = 0;
  // Writes the values through to persistent storage.
  virtual void synchronize() = 0;
};

// The recent-folders list behind File > Open Recent.
class RecentList {
 public:
  virtual ~RecentList() = default;
  virtual void noteNewRecentDocument(const std::string& path) = 0;
  virtual void removeRecentDocument(const std::string& path) = 0;
  virtual void clearRecentDocuments() = 0;
};

// The services that are not controls of the window.
class Toolkit {
 public:
  virtual ~Toolkit() = default;
  // Runs the folder panel as a sheet; returns at once and later calls done on the main thread.
  virtual void beginOpenPanel(const OpenPanelOptions& options,
                              std::function<void(int result, std::vector<ChosenUrl> urls)> done) = 0;
  virtual SavePanelResult runSavePanel(const SavePanelOptions& options) = 0;
  // A modal alert with one "OK" button.
  virtual void runAlert(const std::string& message, const std::string& detail) = 0;
  virtual std::unique_ptr<Timer> scheduleTimer(double seconds, std::function<void()> fire) = 0;
  virtual MainQueue& mainQueue() = 0;
  virtual SettingsStore& settings() = 0;
  virtual RecentList& recentList() = 0;
  // The user-visible text for a key.
  virtual std::string localizedString(const std::string& key) = 0;
  virtual std::string homeDirectory() = 0;
  // Calls changed on the main thread whenever entries are added to, removed from or renamed
  // in the folder; one folder at a time, an empty path watches none.
  virtual void watchFolder(const std::string& folder, std::function<void()> changed) = 0;
  // Shows the file in the desktop's file manager.
  virtual void revealInFileManager(const std::string& path) = 0;
  // Tells the front end that the enabled state of the commands may have changed (it asks
  // AppDelegate::validateMenuItem again).
  virtual void commandsChanged() = 0;
  virtual void terminate() = 0;
};

}  // namespace quillane::toolkit
