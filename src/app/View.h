#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/Paths.h"
#include "job/JobRequest.h"

namespace quillane {

// Which commands the user may give now. The controller alone decides; the view enables its
// buttons and menu items to match.
// The options of the job the window offers, as stored.
struct OptionValues {
  std::optional<KeyColour> key;  // nothing when the stored choice is none of the three
  bool orient = false;
  bool ignoreProfiles = false;
  bool naturalOrder = false;
  int tolerance = 0;  // keying also takes colours this many steps from the key
  bool keepResolution = false;
  bool multiply = false;
  bool groups = false;         // subfolders as layer groups
  bool modernFormats = false;  // also read WebP, HEIC, AVIF and JPEG XL
  bool allFrames = false;
};

// The steps of tolerance the window offers.
inline constexpr int kToleranceSteps[] = {0, 4, 8, 16, 32};

struct Commands {
  bool chooseSource = true;  // also Open Recent and dropping a folder
  bool process = true;       // not while the folder is known to hold no image
  bool stop = false;
  bool options = true;  // the key colour, the orientation and the colour profile options
  friend bool operator==(const Commands&, const Commands&) = default;
};

// The main window as the controller sees it: what to show and what to ask the user. Called on
// the main thread only. Questions are asynchronous: the view answers later, on the main thread,
// with nothing when the user cancels.
class View {
 public:
  using PathAnswer = std::function<void(std::optional<std::string> path)>;
  // The path as the save panel confirmed it, and the type chosen in it.
  struct OutputChoice {
    std::string path;
    DocumentType type = DocumentType::Psd;
  };
  using OutputAnswer = std::function<void(std::optional<OutputChoice> choice)>;
  using Confirmation = std::function<void(bool confirmed)>;

  virtual ~View() = default;

  // The source folder (empty: none) and the line that says what it holds.
  virtual void showSource(const std::string& folder, const std::string& summary) = 0;
  virtual void setOptions(const OptionValues& options) = 0;
  // The window with its option area, or shrunk to the source and the commands.
  virtual void setExpanded(bool expanded) = 0;
  virtual void showProgressPanel(const std::string& source, const std::string& output) = 0;
  // percent from 0 to 100; the line names the file under way.
  virtual void showProgress(double percent, const std::string& fileLine) = 0;
  virtual void hideProgressPanel() = 0;
  // How the last job ended (empty: nothing to say), and whether its file can be shown.
  virtual void showResult(const std::string& text, bool canReveal) = 0;
  virtual void setCommandsEnabled(const Commands& commands) = 0;
  // File > Open Recent, newest first.
  virtual void showRecentFolders(const std::vector<std::string>& folders) = 0;

  // The save panel, starting in startFolder with proposedName filled in and its type chosen.
  virtual void askOutputPath(const std::string& startFolder, const std::string& proposedName,
                             DocumentType proposedType, OutputAnswer answer) = 0;
  virtual void chooseFolder(const std::string& startFolder, PathAnswer answer) = 0;
  // A window-modal alert with one OK button.
  virtual void alert(const std::string& message, const std::string& detail) = 0;
  // A window-modal question: a button labelled action that answers true, and Cancel.
  virtual void askToConfirm(const std::string& question, const std::string& detail,
                            const std::string& action, Confirmation answer) = 0;
};

}  // namespace quillane
