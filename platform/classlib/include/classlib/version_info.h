// The executable's version block, stored as the resource "VERSIONINFO" in a
// line-based text form:
//
//   FileVersion    = 0.0.0.0          fixed part: four 16-bit numbers
//   ProductVersion = 0.0.0.0
//   FileFlags      = 0
//   FileType       = VFT_APP
//   FileOS         = VOS__WINDOWS32
//   Translation    = 0x1409 0x04E4    language and code page of the strings
//   String CompanyName = "..."        one string of the table, may be empty
//
// Qt-free.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace classlib {

struct TVersionInfo {
  std::array<std::uint16_t, 4> FileVersion{};
  std::array<std::uint16_t, 4> ProductVersion{};
  std::uint32_t FileFlags = 0;
  std::string FileType;
  std::string FileOS;
  std::uint16_t Language = 0;
  std::uint16_t CodePage = 0;
  std::vector<std::pair<std::string, std::string>> Strings;  // in stored order

  // The value of a string of the table, or nothing when it is absent.
  std::optional<std::string> String(std::string_view name) const;
};

// Parses text in the form above. Returns nothing, and sets *error to a
// message naming the line, when the text is malformed.
std::optional<TVersionInfo> ParseVersionInfo(std::string_view text, std::string* error = nullptr);

// The version block linked into the executable, or nothing when there is none
// or it is malformed (the build checks it, so that does not happen).
std::optional<TVersionInfo> ReadVersionInfo();

}  // namespace classlib
