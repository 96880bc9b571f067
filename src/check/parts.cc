#include "check/parts.h"

#include "system/settings_file.h"

namespace orvane::check {
namespace {

constexpr std::size_t kSettingBuffer = 512;

}  // namespace

std::vector<std::string> DriverKeys(const WindowsFacts& facts) {
  const std::string name = std::string("\\") + product::kDriverName;
  if (facts.win9x_path) return {product::kWin9xDriversKey + name};
  return {product::kNtVersion2DriversKey + name, product::kNtVersion3DriversKey + name};
}

std::string TextOf(const std::optional<Value>& value) {
  if (!value) return "";
  std::string text(value->data.begin(), value->data.end());
  return text.substr(0, text.find('\0'));
}

std::string Setting(Platform& platform, const WindowsFacts& facts, const char* key) {
  return ReadSetting(platform, facts.root, key, kAbsent, kSettingBuffer);
}

std::string Silent(win::DWORD error) {
  return "the spooler does not answer (error " + std::to_string(error) + ")";
}

Part MakePart(const char* id, bool registration) {
  Part part;
  part.id = id;
  part.registration = registration;
  return part;
}

void SetPart(Part* part, Status status, std::string detail, Action action) {
  part->status = status;
  part->detail = std::move(detail);
  part->action = action;
}

std::vector<win::BYTE> Sz(const std::string& text) {
  std::vector<win::BYTE> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

std::vector<win::BYTE> Dword(win::DWORD value) {
  return {static_cast<win::BYTE>(value), static_cast<win::BYTE>(value >> 8),
          static_cast<win::BYTE>(value >> 16), static_cast<win::BYTE>(value >> 24)};
}

std::string ValueFindings::Describe() const {
  std::string text;
  if (!missing.empty()) text = "missing " + NameList(missing, 12);
  if (!differing.empty()) {
    text += (text.empty() ? "" : "; ") + std::string("not as setup writes them: ") +
            NameList(differing, 12);
  }
  return text;
}

ValueFindings CompareValues(Platform& platform, const std::string& key,
                            const std::vector<ExpectedValue>& expected) {
  ValueFindings findings;
  for (const ExpectedValue& want : expected) {
    const std::optional<Value> value = ReadValue(platform, key, want.name);
    if (!value) {
      findings.missing.push_back(want.name);
    } else if (value->type != want.type || (want.data && value->data != *want.data)) {
      findings.differing.push_back(want.name);
    }
  }
  return findings;
}

}  // namespace orvane::check
