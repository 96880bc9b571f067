// orvcheck's command line, the same for orvcheck.exe on Windows and orvcheck
// over a simulated machine:
//
//   orvcheck [--json] [--after-uninstall]
//
// It checks the installation (or, with --after-uninstall, what a removal left)
// and prints a table, or with --json one JSON document and nothing else, on
// standard output. Exit codes: 0 whole (or only what a removal leaves), 1 not
// installed at all, 2 partly there or damaged (or left over), 3 it cannot run
// (bad arguments, no machine); --help prints the usage and ends with 0.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace orvane::check {

inline constexpr int kCannotRun = 3;

struct Options {
  bool json = false;
  bool after_uninstall = false;
  bool help = false;
};

// The options, or nullopt for arguments it does not know.
std::optional<Options> ParseArguments(const std::vector<std::string>& args);
std::string Usage();

struct Outcome {
  int exit_code = kCannotRun;
  std::string out;  // for standard output
};

// Checks the machine behind `platform` against the product folder `setupDir`.
Outcome RunCheck(Platform& platform, const Options& options, const std::string& setupDir);

}  // namespace orvane::check
