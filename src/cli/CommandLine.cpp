#include "cli/CommandLine.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <map>

namespace quillane::cli {

ParseResult parseCommandLine(int argc, char** argv) {
  CLI::App app{
      "Stacks the images of a folder (JPEG, PNG, GIF, BMP, TIFF, PICT), in file name "
      "order, as the layers of one PSD document.",
      "quillane"};
  app.set_version_flag("--version", std::string("quillane ") + QUILLANE_VERSION);

  CommandLine line;
  const std::map<std::string, KeyColour> keys{
      {"none", KeyColour::None}, {"white", KeyColour::White}, {"black", KeyColour::Black}};
  std::string key = "none";
  app.add_option("--key", key,
                 "Colour made transparent in every image: none, white (255, 255, 255) or "
                 "black (0, 0, 0)")
      ->check(CLI::IsMember(keys))
      ->option_text("none|white|black");
  app.add_flag("--orient", line.orient,
               "Turn JPEG and TIFF photos upright by their orientation tag before they are "
               "layered (off: the pixels as stored)");
  app.add_flag("--ignore-profiles", line.ignoreProfiles,
               "Keep every sample as stored: embed no colour profile and convert nothing (off: "
               "the document takes the first image's profile, and the others are converted "
               "into it)");
  bool verbose = false;
  bool quiet = false;
  auto* verboseFlag = app.add_flag("-v,--verbose", verbose, "Log every step on stderr");
  app.add_flag("-q,--quiet", quiet, "Show nothing but errors")->excludes(verboseFlag);
  app.add_option("SOURCE_FOLDER", line.sourceFolder, "Folder of the images")->required();
  app.add_option("OUTPUT", line.outputPath,
                 "The document to write: a PSD file, or a PSB (the large-document form) when "
                 "the name ends in .psb")
      ->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help();
    return {};
  } catch (const CLI::CallForVersion& version) {
    std::cout << version.what() << '\n';
    return {};
  } catch (const CLI::ParseError& error) {
    std::cerr << "quillane: " << error.what() << '\n' << kUsageLine << '\n';
    return {std::nullopt, kExitUsage};
  }
  line.key = keys.at(key);
  line.verbosity = quiet ? Verbosity::Quiet : verbose ? Verbosity::Verbose : Verbosity::Normal;
  return {line, kExitSuccess};
}

}  // namespace quillane::cli
