// The crash reporter's settings record: the schema of every setting (name,
// type, range) and a parser for the record's text form.
//
// The text form, one setting a line:
//
//   # a comment, up to the end of the line (outside a text)
//   Name = true | false              a flag
//   Name = -12                       a whole number
//   Name = "text with \"quotes\""    a text; escapes \" \\ \n \t
//
// Every name of the schema must appear exactly once; nothing else may. The
// build runs the same parser over the record (tools/crashsettings_check), so a
// record that reaches the program is known to parse. Qt-free; none of this is
// async-signal-safe (it allocates): read the settings before a crash.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace crashreport {

enum class TSettingKind { Bool, Int, Text };

struct TSettingDef {
  const char* Name;
  TSettingKind Kind;
  std::int64_t Min = 0;  // Int only: inclusive range
  std::int64_t Max = 0;
};

// Every setting the record holds, in the record's order.
std::span<const TSettingDef> SettingsSchema();

class TCrashSettings {
 public:
  // The value of a setting of the schema. Asking for a name that is not in
  // the schema, or with the wrong type, is a programming error and throws
  // std::logic_error naming it.
  bool Bool(std::string_view name) const;
  std::int64_t Int(std::string_view name) const;
  const std::string& Text(std::string_view name) const;

  // Text(name) with every "%appname%" replaced by appName.
  std::string Expanded(std::string_view name, std::string_view appName) const;

 private:
  friend std::optional<TCrashSettings> ParseSettings(std::string_view, std::string_view, std::string*);
  struct TValue {
    bool Set = false;
    int Line = 0;
    std::int64_t Number = 0;  // Bool and Int
    std::string Text;
  };
  const TValue& Find(std::string_view name, TSettingKind kind) const;
  std::vector<TValue> FValues;  // one per schema entry, same order
};

// Parses text against the schema. On failure returns nothing and sets *error
// to "<source>, line <n>: <Name>: <reason>" (a missing setting names the
// setting without a line), so that the build's message leads to the place.
std::optional<TCrashSettings> ParseSettings(std::string_view text, std::string_view source,
                                            std::string* error = nullptr);

// The settings embedded in the executable as the resource TCRASHSETTINGS.
// Returns nothing, with *error set, when the resource is absent or malformed
// (the build checks it, so only a program linked without it sees that).
std::optional<TCrashSettings> ReadEmbeddedSettings(std::string* error = nullptr);

// The unqualified class names of a '|'-separated list ("EDBEditError|EFoo").
std::vector<std::string> SplitList(std::string_view list);

}  // namespace crashreport
