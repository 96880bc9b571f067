#include "check/command.h"

#include "check/check.h"

namespace orvane::check {

std::optional<Options> ParseArguments(const std::vector<std::string>& args) {
  Options options;
  for (const std::string& arg : args) {
    if (arg == "--json") {
      options.json = true;
    } else if (arg == "--after-uninstall") {
      options.after_uninstall = true;
    } else if (arg == "--help" || arg == "-h" || arg == "/?") {
      options.help = true;
    } else {
      return std::nullopt;
    }
  }
  return options;
}

std::string Usage() {
  return "usage: orvcheck [--json] [--after-uninstall]\n"
         "  Tells whether Orvane is installed whole, part by part; changes nothing.\n"
         "  --json             one JSON document on standard output\n"
         "  --after-uninstall  check that a removal left only what it is meant to leave\n"
         "exit code: 0 whole (after a removal: only its residue), 1 not installed,\n"
         "           2 partly installed or damaged (after a removal: more left),\n"
         "           3 cannot run\n";
}

Outcome RunCheck(Platform& platform, const Options& options, const std::string& setupDir) {
  if (options.help) return {0, Usage()};
  const Report report = options.after_uninstall ? CheckRemoval(platform, setupDir)
                                                : CheckInstallation(platform, setupDir);
  return {ExitCode(report), options.json ? FormatJson(report) : FormatTable(report)};
}

}  // namespace orvane::check
