// orvcheck.exe: a console program that checks the running Windows through the
// real backend and prints its report. It runs from the product folder, beside
// setup.exe, and judges the installation against that folder.
#include <cstdio>
#include <string>
#include <vector>

#include "check/command.h"
#include "install/context.h"
#include "platform/win32/win32_platform.h"

int main(int argc, char** argv) {
  const auto options = orvane::check::ParseArguments({argv + 1, argv + argc});
  if (!options) {
    std::fputs(orvane::check::Usage().c_str(), stderr);
    return orvane::check::kCannotRun;
  }
  orvane::Win32Platform platform;
  const orvane::check::Outcome outcome =
      orvane::check::RunCheck(platform, *options, orvane::GetSetupDirectory(platform));
  std::fwrite(outcome.out.data(), 1, outcome.out.size(), stdout);
  return outcome.exit_code;
}
