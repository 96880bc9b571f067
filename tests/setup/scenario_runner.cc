// Whole runs of setup as rows of data (scenarios.txt), each held to a reference outcome plus
// its own "+"/"-" lines. An outcome, an item a line: what `winsim state` finds changed since the
// machine was new, standard output, the journal, anything left open, a spooler left stopped.
// ORVANE_SCENARIO_PRINT=1 prints a row's actual delta, for a human to judge before it goes in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "setup/scenario.h"
#include "tools/state/machine_state.h"

namespace orvane {
namespace {

using setup_test::Scenario;
using Lines = std::vector<std::string>;
using State = std::map<std::string, std::string>;
const std::filesystem::path kHere = std::filesystem::path(__FILE__).parent_path();

struct Row {
  std::string where, name = {}, windows = {}, reference = {}, says = {};
  Lines steps = {}, delta = {};
};
void PrintTo(const Row& row, std::ostream* out) { *out << row.where; }

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.pop_back();
  return text.substr(std::min(text.size(), text.find_first_not_of(' ')));
}

// "name windows reference step ; step ... | what a user would see go wrong", then the row's
// delta lines; "#" starts a comment.
std::vector<Row> ReadRows() {
  std::ifstream in(kHere / "scenarios.txt");
  std::vector<Row> rows;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    line = Trimmed(line);
    if (line.empty() || line[0] == '#') continue;
    if (line.starts_with("+ ") || line.starts_with("- ") || line.starts_with("~ ")) {
      rows.back().delta.push_back(line);
      continue;
    }
    Row row{.where = "scenarios.txt:" + std::to_string(number)};
    row.says = line.substr(line.rfind(" | ") + 3);
    std::istringstream head(line.substr(0, line.rfind(" | ")));
    std::string steps;
    std::getline(head >> row.name >> row.windows >> row.reference >> std::ws, steps);
    for (std::size_t at = 0, end; at <= steps.size(); at = end + 3) {
      end = std::min(steps.find(" ; ", at), steps.size());
      row.steps.push_back(steps.substr(at, end - at));
    }
    rows.push_back(row);
  }
  return rows;
}

// A row's text: \r \n \t \0 and \\ as in C; any other backslash stands for itself (paths).
std::string Unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t known =
        text[i] == '\\' && i + 1 < text.size() ? std::string_view("rnt0\\").find(text[i + 1])
                                               : std::string_view::npos;
    out.push_back(known == std::string_view::npos ? text[i] : "\r\n\t\0\\"[known]);
    i += known != std::string_view::npos;
  }
  return out;
}

// A short text that the state gives as a hash, as its text: which stand-in went where.
std::string Readable(const std::string& rendering, const std::optional<std::vector<win::BYTE>>& bytes) {
  if (!bytes || rendering.find(" bytes fnv1a64 ") == std::string::npos || bytes->size() > 160 ||
      std::any_of(bytes->begin(), bytes->end(), [](win::BYTE c) { return c == 0 || c >= 0x7f; })) {
    return rendering;
  }
  std::string text = tools::Escape(std::string(bytes->begin(), bytes->end()));
  for (std::size_t at; (at = text.find("\\x0d\\x0a")) != std::string::npos;) text.replace(at, 8, "\\r\\n");
  return rendering.substr(0, rendering.starts_with("REG_") ? rendering.find(' ') + 1 : 0) + "\"" +
         text + "\"";
}

// What `winsim state` reports of the machine: a key with its values on one line
// ("name"=value | ...), a driver folder's files on one line, a log's texts on one line
// (joined by " / "), short texts readable.
State StateOf(Scenario& s) {
  const tools::MachineState items = tools::SimulatedMachineState(
      s->registry(), s->profile(), s->module_path(), (s.folder() / "drive_c").string());
  const std::map<std::string, std::string> folders =
      tools::SimulatedMachineFolders(s->registry(), s->profile(), s->module_path());
  State state;
  std::map<std::string, std::map<int, std::string>> logs;
  for (const auto& [listed, rendering] : items) {
    std::string identity = listed, shown = rendering;
    const std::size_t quote = identity.rfind(" \""), slash = identity.rfind('\\');
    if (identity.starts_with("file %")) {
      const std::size_t role = identity.find('%', 6) + 1;
      shown = Readable(shown, s->files().ReadAll(folders.at(identity.substr(5, role - 5)) +
                                                 identity.substr(role)));
    }
    if (identity.starts_with("file %DRIVERS%")) {
      shown = identity.substr(slash + 1) + "=" + shown;
      identity = "files" + identity.substr(4, slash - 4);
    } else if (identity.starts_with("value ")) {
      auto value = s->registry().GetValue("HKEY_LOCAL_MACHINE" + identity.substr(10, quote - 10),
                                          identity.substr(quote + 2, identity.size() - quote - 3));
      shown = identity.substr(quote + 1) + "=" +
              Readable(shown, value ? std::optional(value->data) : std::nullopt);
      identity = "key " + identity.substr(6, quote - 6);
    } else if (const std::size_t colon = identity.rfind(".log:"); colon != std::string::npos) {
      logs[identity.substr(0, colon + 4)][std::stoi(identity.substr(colon + 5))] = shown;
      continue;
    }
    std::string& item = state[identity];
    item += (item.empty() || shown.empty() ? "" : " | ") + shown;
  }
  for (const auto& [identity, texts] : logs) {
    for (const auto& [number, shown] : texts) state[identity] += (number == 1 ? "" : " / ") + shown;
  }
  return state;
}

[[noreturn]] void Fail(const Row& r, const std::string& why) { throw std::runtime_error(r.where + ": " + why); }

// Sets the machine up and runs setup as the row's steps say; the outcome lines.
Lines Outcome(const Row& row) {
  setup_test::ScenarioOptions options;
  for (const std::string& step : row.steps) {
    if (step.starts_with("setupdir ")) options.setup_dir = step.substr(9);
    options.postscript_driver &= step != "without postscript";
  }
  Scenario s(winsim::ParseVersion(row.windows).value(), options);
  const State before = StateOf(s);
  Lines out, leaks;
  int runs = 0;
  auto run = [&](const std::string& commandLine) {
    ++runs;
    const std::size_t printed = s->standard_output().size();
    if (s.RunCommandLine(commandLine) != 0) Fail(row, "setup did not end with 0");
    std::istringstream lines(s->standard_output().substr(printed));
    std::string joined;  // one line a run
    for (std::string line; std::getline(lines, line);) joined += line.empty() ? "" : " / " + tools::Escape(line);
    if (!joined.empty()) out.push_back("out " + joined.substr(3));
    for (const std::string& leak : s->LeakReport()) leaks.push_back("leak " + leak);
  };
  for (const std::string& step : row.steps) {
    std::istringstream words(step);
    std::string verb, call, code, mode, match;
    words >> verb;
    // After the verb; "write PATH = " with nothing more writes an empty file.
    const std::string rest = step.substr(std::min(step.size(), verb.size() + 1)) +
                             (step.ends_with(" =") ? " " : "");
    const std::size_t equals = rest.find(" = ");
    const std::string left = rest.substr(0, equals);
    const std::string right = equals == std::string::npos ? "" : rest.substr(equals + 3);
    if (verb == "install" || verb == "uninstall") {
      run(BuildProcessCommandLine(s->module_path(), verb == "install" ? Lines{} : Lines{"uninstall"}));
    } else if (verb == "run") {  // run LINE: setup started with this command line, its name first
      run(Unescaped(rest));
    } else if (verb == "reboot") {
      s->Reboot();
    } else if (verb == "answer") {
      s->answers().push_back(rest == "yes" ? win::IDYES : win::IDNO);
    } else if (verb == "fault") {  // fault CALL CODE [once|always|stale] [MATCH]
      words >> call >> code >> mode;
      auto parsed = winsim::ParseFaultMode(mode);
      std::getline(words, match);
      s->faults().Add({call, Trimmed(parsed ? match : mode + match),
                       static_cast<win::DWORD>(std::stoul(code)),
                       parsed.value_or(winsim::FaultMode::kOnce)});
    } else if (verb == "write" && equals != std::string::npos) {  // write PATH = TEXT
      s->files().WriteAll(left, Unescaped(right));
    } else if (verb == "settings") {  // the setup folder's res\orvane.ini, [Parameters]
      s->files().WriteAll(options.setup_dir + "\\res\\orvane.ini",
                          "[Parameters]\r\n" + Unescaped(rest) + "\r\n");
    } else if (verb == "remove") {
      s->files().Remove(rest);
    } else if (verb == "readonly") {  // as on a CD
      s->files().SetAttributes(rest, win::FILE_ATTRIBUTE_READONLY);
    } else if (verb == "held") {  // held [write] PATH: another program reads (writes) it, shares all
      const bool write = rest.starts_with("write ");
      s->files().HoldByOtherProcess(rest.substr(write ? 6 : 0),
                                    win::FILE_SHARE_READ | win::FILE_SHARE_WRITE,
                                    win::GENERIC_READ | (write ? win::GENERIC_WRITE : 0));
    } else if (verb == "unreg") {
      s->registry().RemoveTree(rest);
    } else if (verb == "reg" && equals != std::string::npos) {  // reg KEY\\NAME = sz|expand TEXT
      const std::string key = left.substr(0, left.find("\\\\")), name = left.substr(key.size() + 2);
      s->registry().PutValue(key, name, right.starts_with("expand ") ? win::REG_EXPAND_SZ : win::REG_SZ,
                             setup_test::SzBytes(Unescaped(right.substr(right.find(' ') + 1))));
    } else if (step == "spooler stop") {
      s->services().StopSpoolerNow(s->spooler());
    } else if (verb == "user") {
      s->SetAdministrator(false);
    } else if (verb == "cd") {
      s->files().SetCurrentDirectory(rest);
    } else if (verb != "setupdir" && step != "without postscript") {
      Fail(row, "unknown step: " + step);
    }
  }
  for (const winsim::Fault& fault : s->faults().faults()) {
    if (fault.fired == 0) Fail(row, "the fault on " + fault.call + " never fired");
  }
  if (runs == 0) Fail(row, "no run");
  const State after = StateOf(s);
  Lines outcome;
  for (const auto& [one, other, sign] : {std::tuple(&before, &after, "- "), {&after, &before, "+ "}}) {
    for (const auto& [identity, shown] : *one) {
      if (!other->count(identity) || other->at(identity) != shown) {
        outcome.push_back(sign + identity + (shown.empty() ? "" : " = " + shown));
      }
    }
  }
  std::sort(outcome.begin(), outcome.end(), [](const std::string& x, const std::string& y) {
    return x.substr(2, x.find(" = ")) + x[0] < y.substr(2, y.find(" = ")) + y[0];
  });
  outcome.insert(outcome.end(), out.begin(), out.end());
  for (std::string line : s->journal()) {
    for (std::size_t tab; (tab = line.find('\t')) != std::string::npos;) line.replace(tab, 1, " | ");
    outcome.push_back("journal " + line);
  }
  outcome.insert(outcome.end(), leaks.begin(), leaks.end());
  if (!s->services().SpoolerRunning(s->now_ms())) outcome.push_back("spooler service stopped");
  for (std::string& line : outcome) line = Trimmed(line);  // as rows are read
  return outcome;
}

// The reference outcome, {windows} spelt as this Windows spells its folder; "@row" for the
// outcome of another row (which its own reference holds).
Lines Reference(const Row& row) {
  if (row.reference == "none") return {};
  if (row.reference.starts_with("@")) {
    for (const Row& other : ReadRows()) {
      if (other.name == row.reference.substr(1)) return Outcome(other);
    }
    Fail(row, "no row " + row.reference);
  }
  const winsim::VersionProfile& profile = winsim::Profile(*winsim::ParseVersion(row.windows));
  const std::string name = row.reference + (row.reference.find('-') != std::string::npos ? ""
                                            : !profile.nt_family            ? "-9x"
                                            : profile.driver_version == 3   ? "-nt5" : "-nt4");
  std::ifstream in(kHere / "expected" / (name + ".txt"));
  if (!in) Fail(row, "no reference " + name);
  Lines lines;
  for (std::string line; std::getline(in, line);) {
    for (std::size_t at; (at = line.find("{windows}")) != std::string::npos;) {
      line.replace(at, 9, tools::Escape(profile.windows_dir));
    }
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  }
  return lines;
}

// The shortest edit from `from` to `to`, as "- line" and "+ line".
Lines Delta(const Lines& from, const Lines& to) {
  const std::size_t n = from.size(), m = to.size();
  std::vector<std::vector<int>> common(n + 1, std::vector<int>(m + 1, 0));
  for (std::size_t i = n; i-- > 0;) {
    for (std::size_t j = m; j-- > 0;) {
      common[i][j] = from[i] == to[j] ? common[i + 1][j + 1] + 1
                                      : std::max(common[i + 1][j], common[i][j + 1]);
    }
  }
  Lines edits;
  for (std::size_t i = 0, j = 0; i < n || j < m;) {
    if (i < n && j < m && from[i] == to[j]) {
      ++i, ++j;
    } else if (i < n && (j == m || common[i + 1][j] >= common[i][j + 1])) {
      edits.push_back("- " + from[i++]);
    } else {
      edits.push_back("+ " + to[j++]);
    }
  }
  return edits;
}

// A state entry the reference holds with other contents ("- X = old", "+ X = new" for the same
// X) becomes "~ X = new", where the "+" line stood: the old contents are the reference's.
Lines Changes(Lines delta) {
  const auto subject = [](const std::string& line) {
    const bool entry = line.size() > 4 && (line[2] == '+' || line[2] == '-') && line[3] == ' ';
    const std::size_t end = line.find(" = ");
    return entry && end != std::string::npos ? line.substr(2, end - 2) : std::string();
  };
  for (std::string& added : delta) {
    if (!added.starts_with("+ ") || subject(added).empty()) continue;
    for (std::string& removed : delta) {
      if (removed.starts_with("- ") && subject(removed) == subject(added)) {
        removed.clear();
        added[0] = '~';
        break;
      }
    }
  }
  std::erase(delta, std::string());
  return delta;
}

class Scenarios : public testing::TestWithParam<Row> {};
TEST_P(Scenarios, OutcomeIsTheReferencePlusTheRowsDelta) {
  const Row& row = GetParam();
  const Lines delta = Changes(Delta(Reference(row), Outcome(row)));
  if (std::getenv("ORVANE_SCENARIO_PRINT")) std::cout << setup_test::Joined(delta);
  EXPECT_EQ(setup_test::Joined(delta), setup_test::Joined(row.delta))
      << row.where << " " << row.name << " fails: " << row.says;
}

INSTANTIATE_TEST_SUITE_P(Rows, Scenarios, testing::ValuesIn(ReadRows()),
                         [](const testing::TestParamInfo<Row>& info) { return info.param.name; });

}  // namespace
}  // namespace orvane
