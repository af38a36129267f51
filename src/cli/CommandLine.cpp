#include "cli/CommandLine.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <map>
#include <optional>

#include "util/PathNames.h"
#include "util/Strings.h"

namespace quillane::cli {
namespace {

constexpr int kMaxTolerance = 64;

const std::map<std::string, KeyColour> kKeys{
    {"none", KeyColour::None}, {"white", KeyColour::White}, {"black", KeyColour::Black}};

// The words of the help's frame, in the user's language.
void localizeHelp(CLI::App& app) {
  const auto formatter = app.get_formatter();
  formatter->label("Usage", localizedString("CLI_HELP_USAGE"));
  formatter->label("OPTIONS", localizedString("CLI_HELP_OPTIONS_MARK"));
  formatter->label("Positionals", localizedString("CLI_HELP_POSITIONALS"));
  formatter->label("REQUIRED", localizedString("CLI_HELP_REQUIRED"));
  app.option_defaults()->group(localizedString("CLI_HELP_OPTIONS"));
  app.set_help_flag("-h,--help", localizedString("CLI_HELP_HELP"));
  app.set_version_flag("--version", std::string("quillane ") + QUILLANE_VERSION,
                       localizedString("CLI_HELP_VERSION"));
}

// What is wrong with the usage, in the user's language; the parser's own words for a case
// that has none.
std::string usageError(const CLI::ParseError& error, const CommandLine& line) {
  if (dynamic_cast<const CLI::RequiredError*>(&error))
    return localizedString("CLI_MISSING_ARGUMENT",
                           {line.sourceFolder.empty() ? "SOURCE_FOLDER" : "OUTPUT"});
  // --key is the one option that takes a value.
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error)) return localizedString("CLI_KEY_MISSING");
  return error.what();
}

// Whether the name ends in .psd or .psb (any case): anything else would be a PSD named as
// something else.
bool hasDocumentExtension(const std::string& path) {
  const std::string extension = lowerCased(pathExtension(path));
  return extension == "psd" || extension == "psb";
}

// A tolerance given as digits from 0 to 64, else nothing.
std::optional<int> toleranceOf(const std::string& text) {
  if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  const int value = std::stoi(text);
  return value <= kMaxTolerance ? std::optional(value) : std::nullopt;
}

int reportUsageError(const std::string& message) {
  std::cerr << "quillane: " << message << '\n' << localizedString("CLI_USAGE") << '\n';
  return kExitUsage;
}

}  // namespace

ParseResult parseCommandLine(int argc, char** argv) {
  CLI::App app{localizedString("CLI_HELP_DESCRIPTION"), "quillane"};
  localizeHelp(app);
  // Extra arguments and wrong values are found out below, to say so in the user's language.
  app.allow_extras();

  CommandLine line;
  std::string key = "none";
  app.add_option("--key", key, localizedString("CLI_HELP_KEY"))->option_text("none|white|black");
  app.add_flag("--orient", line.orient, localizedString("CLI_HELP_ORIENT"));
  app.add_flag("--ignore-profiles", line.ignoreProfiles,
               localizedString("CLI_HELP_IGNORE_PROFILES"));
  app.add_flag("--natural-order", line.naturalOrder, localizedString("CLI_HELP_NATURAL_ORDER"));
  std::string tolerance = "0";
  app.add_option("--tolerance", tolerance, localizedString("CLI_HELP_TOLERANCE"))
      ->option_text("0-64");
  app.add_flag("--keep-resolution", line.keepResolution,
               localizedString("CLI_HELP_KEEP_RESOLUTION"));
  app.add_flag("--modern-formats", line.modernFormats, localizedString("CLI_HELP_MODERN_FORMATS"));
  std::string blend = "normal";
  app.add_option("--blend", blend, localizedString("CLI_HELP_BLEND"))
      ->option_text("normal|multiply");
  app.add_flag("--groups", line.groups, localizedString("CLI_HELP_GROUPS"));
  app.add_flag("--all-frames", line.allFrames, localizedString("CLI_HELP_ALL_FRAMES"));
  bool verbose = false;
  bool quiet = false;
  app.add_flag("-v,--verbose", verbose, localizedString("CLI_HELP_VERBOSE"));
  app.add_flag("-q,--quiet", quiet, localizedString("CLI_HELP_QUIET"));
  app.add_option("SOURCE_FOLDER", line.sourceFolder, localizedString("CLI_HELP_SOURCE"))
      ->required()
      ->type_name("");
  app.add_option("OUTPUT", line.outputPath, localizedString("CLI_HELP_OUTPUT"))
      ->required()
      ->type_name("");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help();
    return {};
  } catch (const CLI::CallForVersion& version) {
    std::cout << version.what() << '\n';
    return {};
  } catch (const CLI::ParseError& error) {
    return {std::nullopt, reportUsageError(usageError(error, line))};
  }
  // The parser keeps the "--" that ends the options among the extras.
  std::vector<std::string> extras = app.remaining();
  std::erase(extras, "--");
  if (!extras.empty())
    return {std::nullopt,
            reportUsageError(localizedString("CLI_UNEXPECTED_ARGUMENT", {extras.front()}))};
  if (!kKeys.contains(key))
    return {std::nullopt, reportUsageError(localizedString("CLI_BAD_KEY", {key}))};
  const std::optional<int> toleranceValue = toleranceOf(tolerance);
  if (!toleranceValue)
    return {std::nullopt, reportUsageError(localizedString("CLI_BAD_TOLERANCE", {tolerance}))};
  if (*toleranceValue > 0 && key == "none")
    return {std::nullopt, reportUsageError(localizedString("CLI_TOLERANCE_WITHOUT_KEY"))};
  if (blend != "normal" && blend != "multiply")
    return {std::nullopt, reportUsageError(localizedString("CLI_BAD_BLEND", {blend}))};
  line.tolerance = *toleranceValue;
  line.multiply = blend == "multiply";
  if (verbose && quiet)
    return {std::nullopt, reportUsageError(localizedString("CLI_VERBOSE_AND_QUIET"))};
  if (!hasDocumentExtension(line.outputPath))
    return {std::nullopt,
            reportUsageError(localizedString("CLI_BAD_OUTPUT_NAME", {line.outputPath}))};
  line.key = kKeys.at(key);
  line.verbosity = quiet ? Verbosity::Quiet : verbose ? Verbosity::Verbose : Verbosity::Normal;
  return {line, kExitSuccess};
}

}  // namespace quillane::cli
