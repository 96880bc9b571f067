#include "check/report.h"

#include <cstdio>

namespace orvane::check {
namespace {

struct Verdict {
  const char* name;
  const char* text;
};

Verdict VerdictOf(const Report& report, int code) {
  if (report.question == Question::kRemoval) {
    return code == 0 ? Verdict{"removed", "only what a removal leaves is left"}
                     : Verdict{"left-over", "the removal left more than it should"};
  }
  switch (code) {
    case 0:
      return {"whole", "Orvane is installed whole"};
    case 1:
      return {"not-installed", "Orvane is not installed"};
    default:
      return {"partial", "Orvane is partly installed or damaged"};
  }
}

std::string JsonText(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c > 0x7E) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string Padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

}  // namespace

bool IsFinding(const Part& part) {
  return part.status == Status::kMissing || part.status == Status::kWrong ||
         part.status == Status::kLeft;
}

int ExitCode(const Report& report) {
  bool finding = false;
  bool registered = false;
  for (const Part& part : report.parts) {
    finding = finding || IsFinding(part);
    registered = registered || (part.registration && part.status != Status::kMissing);
  }
  if (!finding) return 0;
  if (report.question == Question::kInstallation && !registered) return 1;
  return 2;
}

const char* StatusName(Status status) {
  switch (status) {
    case Status::kPresent:
      return "present";
    case Status::kMissing:
      return "missing";
    case Status::kWrong:
      return "wrong";
    case Status::kGone:
      return "gone";
    case Status::kStays:
      return "stays";
    case Status::kLeft:
      return "left";
  }
  return "wrong";
}

const char* ActionName(Action action) {
  switch (action) {
    case Action::kNone:
      return "none";
    case Action::kRunSetup:
      return "run-setup";
    case Action::kRebootThenSetup:
      return "reboot-then-setup";
    case Action::kReinstall:
      return "reinstall";
    case Action::kRunUninstall:
      return "run-uninstall";
    case Action::kRebootThenUninstall:
      return "reboot-then-uninstall";
    case Action::kReboot:
      return "reboot";
    case Action::kRemoveByHand:
      return "remove-by-hand";
    case Action::kNotOnThisWindows:
      return "not-on-this-windows";
  }
  return "none";
}

const char* ActionText(Action action) {
  switch (action) {
    case Action::kNone:
      return "";
    case Action::kRunSetup:
      return "run setup";
    case Action::kRebootThenSetup:
      return "restart Windows, then run setup";
    case Action::kReinstall:
      return "run \"setup uninstall\", then setup";
    case Action::kRunUninstall:
      return "run \"setup uninstall\" again";
    case Action::kRebootThenUninstall:
      return "restart Windows, then remove Orvane again in Add/Remove Programs";
    case Action::kReboot:
      return "restart Windows";
    case Action::kRemoveByHand:
      return "delete by hand if no longer wanted";
    case Action::kNotOnThisWindows:
      return "none: this Windows cannot take it";
  }
  return "";
}

std::string FormatTable(const Report& report) {
  constexpr std::size_t kIdWidth = 17;
  constexpr std::size_t kStatusWidth = 9;
  std::string out =
      "Orvane on Windows " + report.windows + ", product folder " + report.setup_dir + "\n\n";
  out += Padded("PART", kIdWidth) + Padded("STATUS", kStatusWidth) + "DETAIL\n";
  for (const Part& part : report.parts) {
    out += Padded(part.id, kIdWidth) + Padded(StatusName(part.status), kStatusWidth) + part.detail +
           "\n";
    if (part.action != Action::kNone) {
      out += std::string(kIdWidth + kStatusWidth, ' ') + "what to do: " + ActionText(part.action) +
             "\n";
    }
  }
  const int code = ExitCode(report);
  return out + "\n" + VerdictOf(report, code).text + " (exit code " + std::to_string(code) + ")\n";
}

std::string FormatJson(const Report& report) {
  const int code = ExitCode(report);
  std::string out = "{\n  \"question\": ";
  out += JsonText(report.question == Question::kRemoval ? "removal" : "installation");
  out += ",\n  \"verdict\": " + JsonText(VerdictOf(report, code).name);
  out += ",\n  \"exit_code\": " + std::to_string(code);
  out += ",\n  \"windows\": " + JsonText(report.windows);
  out += ",\n  \"product_folder\": " + JsonText(report.setup_dir);
  out += ",\n  \"parts\": [";
  for (std::size_t i = 0; i < report.parts.size(); ++i) {
    const Part& part = report.parts[i];
    out += i == 0 ? "\n" : ",\n";
    out += "    {\"part\": " + JsonText(part.id) +
           ", \"status\": " + JsonText(StatusName(part.status)) +
           ", \"detail\": " + JsonText(part.detail) +
           ", \"action\": " + JsonText(ActionName(part.action)) +
           ", \"action_text\": " + JsonText(ActionText(part.action)) + "}";
  }
  return out + "\n  ]\n}\n";
}

}  // namespace orvane::check
