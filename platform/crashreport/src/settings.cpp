#include "crashreport/settings.h"

#include <array>
#include <charconv>
#include <stdexcept>

#include "classlib/resources.h"

namespace crashreport {
namespace {

using K = TSettingKind;
constexpr std::int64_t kMaxInt = 0x7fffffff;

// Ranges are what the reporter can act on; a value outside is a typo.
constexpr TSettingDef kSchema[] = {
    // General behaviour
    {"Enabled", K::Bool},
    {"NoSettings", K::Bool},
    {"CheckFreeze", K::Bool},
    {"FreezeTimeout", K::Int, 0, kMaxInt},
    {"PauseThreads", K::Bool},
    {"PlWaitBox", K::Bool},
    {"AutoContinue", K::Bool},
    {"AutoRestart", K::Int, 0, kMaxInt},
    {"AutoClose", K::Int, 0, kMaxInt},
    {"AutoShowBugRep", K::Bool},
    {"NoDupExcepts", K::Bool},
    {"NoDupFreezes", K::Bool},
    {"DupExceptDef", K::Int, 0, 2},
    {"DupFreezeDef", K::Int, 0, 2},
    {"Plugins", K::Text},
    // Exception box
    {"TitleBar", K::Text},
    {"ExceptMsg", K::Text},
    {"FrozenMsg", K::Text},
    {"SendBtnVis", K::Bool},
    {"SendBtnTxt", K::Text},
    {"SaveBtnVis", K::Bool},
    {"SaveBtnTxt", K::Text},
    {"PrintBtnVis", K::Bool},
    {"PrintBtnTxt", K::Text},
    {"ShowBtnVis", K::Bool},
    {"ShowBtnTxt", K::Text},
    {"ContinueBtnVis", K::Bool},
    {"ContinueBtnTxt", K::Text},
    {"RestartBtnVis", K::Bool},
    {"RestartBtnTxt", K::Text},
    {"CloseBtnVis", K::Bool},
    {"CloseBtnTxt", K::Text},
    {"OkBtnTxt", K::Text},
    {"DetailsBtnTxt", K::Text},
    {"FocusedBtn", K::Int, 0, 6},
    {"UglyBtns", K::Bool},
    {"PlWaitTitle", K::Text},
    {"PlWaitText", K::Text},
    // Assistants
    {"SendAssis", K::Text},
    {"SaveAssis", K::Text},
    {"PrintAssis", K::Text},
    {"Assistant1", K::Text},
    {"Assistant2", K::Text},
    {"Assistant3", K::Text},
    // Report content
    {"ListThreads", K::Bool},
    {"CpuRegs", K::Bool},
    {"StackDump", K::Bool},
    {"ShowDisAsm", K::Bool},
    {"LimitDisAsm", K::Int, 0, 1000},
    {"FormatDisAsm", K::Bool},
    {"HideUglyItems", K::Bool},
    {"ShowRelAddrs", K::Bool},
    {"ShowRelLines", K::Bool},
    // Saving and clipboard
    {"AutoSave", K::Bool},
    {"AutoSaveIfNotSent", K::Bool},
    {"BugRepFile", K::Text},
    {"AppendBugReps", K::Bool},
    {"BugRepFileSize", K::Int, 1024, kMaxInt},
    {"AutoClip", K::Bool},
    // Sending
    {"AutoSend", K::Bool},
    {"AutoSendBox", K::Bool},
    {"SendInBackgr", K::Bool},
    {"MailAddr", K::Text},
    {"MailAsSmtpServer", K::Bool},
    {"MailAsSmtpClient", K::Bool},
    {"UploadViaHttp", K::Bool},
    {"MailViaMapi", K::Bool},
    {"MailViaMailto", K::Bool},
    {"SmtpServer", K::Text},
    {"SmtpPort", K::Int, 0, 65535},
    {"SmtpAccount", K::Text},
    {"SmtpPassword", K::Text},
    {"HttpServer", K::Text},
    {"HttpPort", K::Int, 0, 65535},
    {"HttpAccount", K::Text},
    {"HttpPassword", K::Text},
    {"MailSubj", K::Text},
    {"MailBody", K::Text},
    {"AttachBugRep", K::Bool},
    {"AttachBugRepFile", K::Bool},
    {"DelBugRepFile", K::Bool},
    {"BugRepSendAs", K::Text},
    {"BugRepZip", K::Text},
    {"ScrShotDepth", K::Int, 1, 32},
    {"ScrShotAppOnly", K::Bool},
    {"ScrShotSendAs", K::Text},
    {"ScrShotZip", K::Text},
    {"AddAttachs", K::Text},
    // Progress and failure texts of sending
    {"SendBoxTitle", K::Text},
    {"PrepAttMsg", K::Text},
    {"MxLookMsg", K::Text},
    {"ConnMsg", K::Text},
    {"AuthMsg", K::Text},
    {"SendMailMsg", K::Text},
    {"FieldMsg", K::Text},
    {"SendAttMsg", K::Text},
    {"SendFinalMsg", K::Text},
    {"SendFailMsg", K::Text},
    // Rules by error class
    {"F1Classes", K::Text},
    {"F2Classes", K::Text},
    {"F1NoBugRep", K::Bool},
    {"F2NoBugRep", K::Bool},
    {"GnNoBugRep", K::Bool},
    {"F1NoScrShot", K::Bool},
    {"F2NoScrShot", K::Bool},
    {"GnNoScrShot", K::Bool},
    {"F1NoHandlers", K::Bool},
    {"F2NoHandlers", K::Bool},
    {"GnNoHandlers", K::Bool},
    {"F1NoSuspend", K::Bool},
    {"F2NoSuspend", K::Bool},
    {"GnNoSuspend", K::Bool},
    {"F1ShowCfg", K::Int, 0, 3},
    {"F2ShowCfg", K::Int, 0, 3},
    {"GnShowCfg", K::Int, 0, 3},
    {"F1Assis", K::Text},
    {"F2Assis", K::Text},
    {"GnAssis", K::Text},
};

int IndexOf(std::string_view name) {
  for (std::size_t i = 0; i < std::size(kSchema); ++i)
    if (name == kSchema[i].Name) return static_cast<int>(i);
  return -1;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool IsNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Reads a quoted text at the start of s; returns the rest after it, or
// nothing (with why set) when it is malformed.
std::optional<std::string_view> ReadText(std::string_view s, std::string& out, std::string& why) {
  s.remove_prefix(1);  // the opening quote
  while (!s.empty()) {
    char c = s.front();
    s.remove_prefix(1);
    if (c == '"') return s;
    if (c == '\\') {
      if (s.empty()) break;
      char e = s.front();
      s.remove_prefix(1);
      if (e == 'n')
        out += '\n';
      else if (e == 't')
        out += '\t';
      else if (e == '"' || e == '\\')
        out += e;
      else {
        why = std::string("unknown escape \\") + e;
        return std::nullopt;
      }
    } else {
      out += c;
    }
  }
  why = "unterminated text";
  return std::nullopt;
}

}  // namespace

std::span<const TSettingDef> SettingsSchema() { return kSchema; }

const TCrashSettings::TValue& TCrashSettings::Find(std::string_view name, TSettingKind kind) const {
  int i = IndexOf(name);
  if (i < 0 || kSchema[i].Kind != kind)
    throw std::logic_error("crash settings: no setting '" + std::string(name) + "' of that type");
  return FValues[i];
}

bool TCrashSettings::Bool(std::string_view name) const { return Find(name, K::Bool).Number != 0; }
std::int64_t TCrashSettings::Int(std::string_view name) const { return Find(name, K::Int).Number; }
const std::string& TCrashSettings::Text(std::string_view name) const { return Find(name, K::Text).Text; }

std::string TCrashSettings::Expanded(std::string_view name, std::string_view appName) const {
  std::string s = Text(name);
  constexpr std::string_view key = "%appname%";
  for (std::size_t at = s.find(key); at != std::string::npos; at = s.find(key, at + appName.size()))
    s.replace(at, key.size(), appName);
  return s;
}

std::optional<TCrashSettings> ParseSettings(std::string_view text, std::string_view source,
                                            std::string* error) {
  TCrashSettings settings;
  settings.FValues.resize(std::size(kSchema));
  int number = 0;
  auto fail = [&](std::string_view name, const std::string& why) -> std::optional<TCrashSettings> {
    if (error) {
      *error = std::string(source);
      if (number > 0) *error += ", line " + std::to_string(number);
      *error += ": ";
      if (!name.empty()) *error += std::string(name) + ": ";
      *error += why;
    }
    return std::nullopt;
  };
  while (!text.empty()) {
    std::size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    ++number;
    line = Trim(line);
    if (line.empty() || line.front() == '#') continue;
    std::size_t n = 0;
    while (n < line.size() && IsNameChar(line[n])) ++n;
    std::string_view name = line.substr(0, n);
    std::string_view rest = Trim(line.substr(n));
    if (name.empty() || rest.empty() || rest.front() != '=') return fail(name, "expected 'Name = value'");
    int index = IndexOf(name);
    if (index < 0) return fail(name, "unknown setting");
    TCrashSettings::TValue& value = settings.FValues[index];
    if (value.Set) return fail(name, "set twice (first on line " + std::to_string(value.Line) + ")");
    rest = Trim(rest.substr(1));
    const TSettingDef& entry = kSchema[index];
    std::string why;
    std::optional<std::string_view> after;
    switch (entry.Kind) {
      case K::Bool: {
        std::size_t w = 0;
        while (w < rest.size() && IsNameChar(rest[w])) ++w;
        std::string_view word = rest.substr(0, w);
        if (word == "true" || word == "false") {
          value.Number = word == "true";
          after = rest.substr(w);
        } else {
          why = "expected true or false";
        }
        break;
      }
      case K::Int: {
        auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value.Number);
        if (ec != std::errc() || end == rest.data()) {
          why = "expected a whole number";
        } else if (value.Number < entry.Min || value.Number > entry.Max) {
          why = "value " + std::to_string(value.Number) + " outside " + std::to_string(entry.Min) + ".." +
                std::to_string(entry.Max);
        } else {
          after = rest.substr(static_cast<std::size_t>(end - rest.data()));
        }
        break;
      }
      case K::Text:
        if (rest.empty() || rest.front() != '"')
          why = "expected a text in double quotes";
        else
          after = ReadText(rest, value.Text, why);
        break;
    }
    if (!after) return fail(name, why);
    std::string_view tail = Trim(*after);
    if (!tail.empty() && tail.front() != '#')
      return fail(name, "unexpected '" + std::string(tail) + "' after the value");
    value.Set = true;
    value.Line = number;
  }
  number = 0;
  for (std::size_t i = 0; i < std::size(kSchema); ++i)
    if (!settings.FValues[i].Set) return fail(kSchema[i].Name, "missing");
  return settings;
}

std::optional<TCrashSettings> ReadEmbeddedSettings(std::string* error) {
  std::optional<std::string_view> text = classlib::FindResource("TCRASHSETTINGS");
  if (!text) {
    if (error) *error = "TCRASHSETTINGS: resource not linked into the executable";
    return std::nullopt;
  }
  return ParseSettings(*text, "TCRASHSETTINGS", error);
}

std::vector<std::string> SplitList(std::string_view list) {
  std::vector<std::string> out;
  while (!list.empty()) {
    std::size_t bar = list.find('|');
    std::string_view item = Trim(list.substr(0, bar));
    if (!item.empty()) out.emplace_back(item);
    list.remove_prefix(bar == std::string_view::npos ? list.size() : bar + 1);
  }
  return out;
}

}  // namespace crashreport
