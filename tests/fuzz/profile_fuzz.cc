// The profile-file reader and writer on any file text: the first input line is
// "section\tkey\tvalue", the rest the file. Reads never overrun their buffer;
// a value written reads back as written (trimmed, as Windows stores it).
#include <cstdlib>
#include <cstring>
#include <string>

#include "winsim/profile.h"

namespace {

bool Plain(const std::string& s) {
  for (char c : s) {
    if (c == '\r' || c == '\n' || c == '=' || c == '[' || c == ']' || c == ';' ||
        c == '\0' || c == '"' || c == '\'' || static_cast<unsigned char>(c) <= ' ') {
      return false;
    }
  }
  return !s.empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  namespace profile = orvane::winsim::profile;
  std::string input(reinterpret_cast<const char*>(data), size);
  std::size_t eol = input.find('\n');
  std::string head = input.substr(0, eol);
  std::string file = eol == std::string::npos ? std::string() : input.substr(eol + 1);
  std::size_t t1 = head.find('\t');
  std::size_t t2 = t1 == std::string::npos ? t1 : head.find('\t', t1 + 1);
  if (t2 == std::string::npos) return 0;
  std::string section = head.substr(0, t1);
  std::string key = head.substr(t1 + 1, t2 - t1 - 1);
  std::string value = head.substr(t2 + 1);

  // Reads into small buffers with a guard byte after them.
  for (std::size_t n : {0u, 1u, 2u, 4u, 16u}) {
    std::string buffer(n + 1, '\x7f');
    profile::GetString(file, section.c_str(), key.c_str(), "dflt  ",
                       std::span(buffer.data(), n));
    profile::GetString(file, nullptr, nullptr, nullptr, std::span(buffer.data(), n));
    profile::GetString(file, section.c_str(), nullptr, "", std::span(buffer.data(), n));
    if (buffer[n] != '\x7f') std::abort();
  }

  std::string written = profile::Write(file, section.c_str(), key.c_str(), value.c_str());
  if (Plain(section) && Plain(key) && Plain(value)) {
    auto back = profile::Lookup(written, section, key);
    if (!back || *back != value) std::abort();
  }
  profile::Write(written, section.c_str(), key.c_str(), nullptr);
  profile::Write(written, section.c_str(), nullptr, nullptr);
  return 0;
}
