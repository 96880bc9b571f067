// Whole installations where only the access the installer asks for, and the
// sharing it allows, decide the outcome: a user who is no administrator (on the
// NT family HKLM\Software may only be read) and another process that holds the
// copy's source open for writing. Asking for more than reading, or sharing less
// than reading and writing, changes what the user sees.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/scenario.h"

namespace orvane {
namespace {

using setup_test::Events;
using setup_test::FileText;
using setup_test::Scenario;
using setup_test::SzBytes;
using winsim::WindowsVersion;

constexpr char kAdminBox[] =
    "Your user account does not have administrative rights and cannot add a printer to this "
    "computer. Please obtain administrative rights and run install again.";

struct Row {
  const char* name;
  WindowsVersion version;
  bool administrator;
  const char* root;         // HKLM\Software\Orvane "Path"; null: none
  const char* held_source;  // held by another process for reading and writing; null: none
  const char* log;          // where the setup log is
  std::vector<std::string> log_lines;
  std::vector<std::string> boxes;
  const char* copied;  // the monitor DLL the copy made, as it must be; null: not checked
};

TEST(Access, ReadOnlyKeysAndSourcesHeldForWriting) {
  const Row rows[] = {
      {"XP, user, root in the registry", WindowsVersion::kWinXp, false, "c:\\Apps\\", nullptr,
       "c:\\Apps\\orvane\\res\\drivedir\\setup.log",
       {"07-04-03: 09:05is_winnt = TRUE", "07-04-03: 09:05is_win4 = TRUE",
        "07-04-03: 09:05Printer Driver Directory: C:\\WINDOWS\\system32\\spool\\drivers\\w32x86"},
       {kAdminBox},
       nullptr},
      {"NT 4, user, root in the registry", WindowsVersion::kNt4, false, "c:\\Apps\\", nullptr,
       "c:\\Apps\\orvane\\res\\drivedir\\setup.log",
       {"07-04-03: 09:05is_winnt = TRUE", "07-04-03: 09:05is_win4 = TRUE",
        "07-04-03: 09:05Printer Driver Directory: C:\\WINNT\\system32\\spool\\drivers\\w32x86"},
       {kAdminBox},
       nullptr},
      // 95/98/ME keep no rights: the user installs as an administrator would.
      {"98, user, root in the registry", WindowsVersion::kWin98, false, "c:\\Apps\\", nullptr,
       "c:\\Apps\\orvane\\res\\drivedir\\setup.log",
       {"07-04-03: 09:05is_winnt = FALSE", "07-04-03: 09:05is_win4 = TRUE",
        "07-04-03: 09:05Printer Driver Directory: C:\\WINDOWS\\SYSTEM"},
       {},
       "C:\\WINDOWS\\SYSTEM\\orvmon95.dll"},
      {"XP, source held for writing", WindowsVersion::kWinXp, true, nullptr,
       "c:\\orvane\\res\\drivedir\\orvmon.dll", "c:\\orvane\\res\\drivedir\\setup.log",
       {"07-04-03: 09:05is_winnt = TRUE", "07-04-03: 09:05is_win4 = TRUE",
        "07-04-03: 09:05Printer Driver Directory: C:\\WINDOWS\\system32\\spool\\drivers\\w32x86"},
       {},
       "C:\\WINDOWS\\system32\\orvmon.dll"},
      {"98, source held for writing", WindowsVersion::kWin98, true, nullptr,
       "c:\\orvane\\res\\drivedir\\orvmon95.dll", "c:\\orvane\\res\\drivedir\\setup.log",
       {"07-04-03: 09:05is_winnt = FALSE", "07-04-03: 09:05is_win4 = TRUE",
        "07-04-03: 09:05Printer Driver Directory: C:\\WINDOWS\\SYSTEM"},
       {},
       "C:\\WINDOWS\\SYSTEM\\orvmon95.dll"},
  };
  for (const Row& r : rows) {
    Scenario s(r.version);
    s->SetAdministrator(r.administrator);
    if (r.root) {
      s->registry().PutValue("HKLM\\Software\\Orvane", "Path", win::REG_SZ, SzBytes(r.root));
      s->files().MakeDirectories(std::string(r.root) + "orvane\\res\\drivedir");
    }
    if (r.held_source) {
      s->files().HoldByOtherProcess(r.held_source, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE,
                                    win::GENERIC_READ | win::GENERIC_WRITE);
    }
    EXPECT_EQ(s.Run(), 0) << r.name;
    EXPECT_EQ(s.LogLines(r.log), r.log_lines) << r.name;
    if (r.root) {
      EXPECT_EQ(FileText(*s, "c:\\orvane\\res\\drivedir\\setup.log"), "<missing>") << r.name;
    }
    std::vector<std::string> boxes;
    for (const auto& box : Events(*s, "msgbox")) boxes.push_back(box.back());
    EXPECT_EQ(boxes, r.boxes) << r.name;
    if (r.copied) {
      const std::string name = std::string(r.copied).substr(std::string(r.copied).rfind('\\'));
      EXPECT_EQ(FileText(*s, r.copied), FileText(*s, "c:\\orvane\\res\\drivedir" + name))
          << r.name;
      EXPECT_NE(FileText(*s, r.copied), "<missing>") << r.name;
    }
  }
}

}  // namespace
}  // namespace orvane
