#include "classlib/version_info.h"

#include <charconv>

#include "classlib/resources.h"

namespace classlib {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

template <typename T>
bool Number(std::string_view s, T& out) {
  s = Trim(s);
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s.remove_prefix(2);
    base = 16;
  }
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out, base);
  return ec == std::errc() && end == s.data() + s.size() && !s.empty();
}

bool Version(std::string_view s, std::array<std::uint16_t, 4>& out) {
  for (std::size_t i = 0; i < 4; ++i) {
    std::size_t dot = i < 3 ? s.find('.') : s.size();
    if (dot == std::string_view::npos || !Number(s.substr(0, dot), out[i])) return false;
    s.remove_prefix(i < 3 ? dot + 1 : dot);
  }
  return true;
}

}  // namespace

std::optional<std::string> TVersionInfo::String(std::string_view name) const {
  for (const auto& [key, value] : Strings)
    if (key == name) return value;
  return std::nullopt;
}

std::optional<TVersionInfo> ParseVersionInfo(std::string_view text, std::string* error) {
  TVersionInfo info;
  int number = 0;
  auto fail = [&](const std::string& why) -> std::optional<TVersionInfo> {
    if (error) *error = "version block, line " + std::to_string(number) + ": " + why;
    return std::nullopt;
  };
  while (!text.empty()) {
    std::size_t eol = text.find('\n');
    std::string_view line = Trim(text.substr(0, eol));
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    ++number;
    if (line.empty() || line.front() == '#') continue;
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return fail("expected 'name = value'");
    std::string_view key = Trim(line.substr(0, eq));
    std::string_view value = Trim(line.substr(eq + 1));
    bool ok = true;
    if (key == "FileVersion") {
      ok = Version(value, info.FileVersion);
    } else if (key == "ProductVersion") {
      ok = Version(value, info.ProductVersion);
    } else if (key == "FileFlags") {
      ok = Number(value, info.FileFlags);
    } else if (key == "FileType") {
      info.FileType = value;
    } else if (key == "FileOS") {
      info.FileOS = value;
    } else if (key == "Translation") {
      std::size_t space = value.find(' ');
      ok = space != std::string_view::npos && Number(value.substr(0, space), info.Language) &&
           Number(value.substr(space + 1), info.CodePage);
    } else if (key.starts_with("String ")) {
      std::string_view name = Trim(key.substr(7));
      ok = !name.empty() && value.size() >= 2 && value.front() == '"' && value.back() == '"';
      if (ok) info.Strings.emplace_back(name, value.substr(1, value.size() - 2));
    } else {
      return fail("unknown entry '" + std::string(key) + "'");
    }
    if (!ok) return fail("bad value for '" + std::string(key) + "'");
  }
  return info;
}

std::optional<TVersionInfo> ReadVersionInfo() {
  std::optional<std::string_view> text = FindResource("VERSIONINFO");
  if (!text) return std::nullopt;
  return ParseVersionInfo(*text);
}

}  // namespace classlib
