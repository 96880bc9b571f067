// The companion product's readme, any bytes: the version check reads it within
// its length, never crashes, and shows at most one message, only when the text
// holds the version marker.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

#include "system/completion.h"
#include "winsim/machine.h"
#include "winsim/sim_fixture.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  using namespace orvane;
  static winsim::testing::SimMachine bare(winsim::WindowsVersion::kWinXp, std::nullopt);
  winsim::Machine& machine = *bare;
  std::string text(reinterpret_cast<const char*>(data), size);
  machine.files().WriteAll("c:\\orvane\\res\\utilities\\readme.html", text);
  machine.SetJournal({});
  CheckCompanionVersion(machine, 4.4f);

  std::string lower = text.substr(0, text.find('\0'));
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const bool marked = lower.find("this is version ") != std::string::npos;
  if (machine.journal().size() > 1) std::abort();
  if (!marked && !machine.journal().empty()) std::abort();
  if (machine.heap_blocks() != 0 || !machine.LeakReport().empty()) std::abort();
  return 0;
}
