// The start-up's command-line extraction on any process command line: the
// result lies within the text. And the Windows quoting of arguments: a module
// path quoted, then the arguments, extracts to the arguments' part.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  std::string line(reinterpret_cast<const char*>(data), size);
  line = line.substr(0, line.find('\0'));
  const char* rest = orvane::ExtractCommandLine(line.c_str());
  if (rest < line.c_str() || rest > line.c_str() + line.size()) std::abort();

  std::vector<std::string> args;
  std::size_t start = 0;
  while (start <= line.size()) {
    std::size_t bar = line.find('\x01', start);
    args.push_back(line.substr(start, bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  std::string built = orvane::BuildProcessCommandLine("C:\\orvane\\setup.exe", args);
  const char* extracted = orvane::ExtractCommandLine(built.c_str());
  if (std::strncmp(built.c_str(), "\"C:\\orvane\\setup.exe\"", 21) != 0) std::abort();
  if (extracted < built.c_str() + 21) std::abort();
  return 0;
}
