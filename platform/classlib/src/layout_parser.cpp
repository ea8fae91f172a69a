#include "classlib/layout_parser.h"

#include <cctype>
#include <charconv>

namespace classlib {

ELayoutError::ELayoutError(std::string source, int line, std::string property, std::string reason)
    : std::runtime_error(source + ", line " + std::to_string(line) + ": " +
                         (property.empty() ? "" : property + ": ") + reason),
      FSource(std::move(source)),
      FLine(line),
      FProperty(std::move(property)),
      FReason(std::move(reason)) {}

const TLayoutProperty* FindProperty(const TLayoutObject& object, std::string_view name) {
  for (const TLayoutProperty& p : object.Properties)
    if (p.Name == name) return &p;
  return nullptr;
}

namespace {

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Reads one line's worth of tokens. Positions never pass the end of the line,
// which is a view into the caller's text.
class TLineReader {
 public:
  TLineReader(std::string_view line, const std::string& source, int number)
      : FLine(line), FSource(source), FNumber(number) {}

  void SkipSpace() {
    while (FPos < FLine.size() && (FLine[FPos] == ' ' || FLine[FPos] == '\t' || FLine[FPos] == '\r')) ++FPos;
  }
  bool AtEnd() {
    SkipSpace();
    return FPos >= FLine.size() || FLine[FPos] == '#';
  }
  bool Peek(char c) {
    SkipSpace();
    return FPos < FLine.size() && FLine[FPos] == c;
  }
  void Expect(char c, const std::string& property) {
    if (!Peek(c)) Fail(property, std::string("expected '") + c + "'");
    ++FPos;
  }
  // An identifier, optionally dotted ("Font.Name") when dotted is true.
  std::string Identifier(const std::string& property, bool dotted, const char* what) {
    SkipSpace();
    std::size_t start = FPos;
    if (FPos >= FLine.size() || !IsIdentStart(FLine[FPos])) Fail(property, std::string("expected ") + what);
    for (;;) {
      while (FPos < FLine.size() && IsIdentChar(FLine[FPos])) ++FPos;
      if (dotted && FPos + 1 < FLine.size() && FLine[FPos] == '.' && IsIdentStart(FLine[FPos + 1])) {
        ++FPos;
        continue;
      }
      break;
    }
    return std::string(FLine.substr(start, FPos - start));
  }

  TLayoutValue Value(const std::string& property, int depth) {
    SkipSpace();
    if (FPos >= FLine.size()) Fail(property, "missing value");
    char c = FLine[FPos];
    TLayoutValue v;
    if (c == '"') {
      v.Kind = TLayoutValue::TKind::String;
      v.Text = String(property);
    } else if (c == '[') {
      if (depth >= MaxLayoutDepth) Fail(property, "lists nested too deeply");
      ++FPos;
      v.Kind = TLayoutValue::TKind::List;
      if (!Peek(']')) {
        for (;;) {
          if (v.Items.size() >= MaxListItems) Fail(property, "list too long");
          v.Items.push_back(Value(property, depth + 1));
          if (Peek(',')) {
            ++FPos;
            continue;
          }
          break;
        }
      }
      Expect(']', property);
    } else if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) {
      v.Kind = TLayoutValue::TKind::Integer;
      v.Integer = Integer(property);
    } else if (IsIdentStart(c)) {
      v.Kind = TLayoutValue::TKind::Identifier;
      v.Text = Identifier(property, false, "a value");
    } else {
      Fail(property, std::string("unexpected character '") + c + "'");
    }
    return v;
  }

  [[noreturn]] void Fail(const std::string& property, const std::string& reason) const {
    throw ELayoutError(FSource, FNumber, property, reason);
  }

 private:
  std::int64_t Integer(const std::string& property) {
    bool negative = false;
    if (FLine[FPos] == '-') {
      negative = true;
      ++FPos;
    }
    int base = 10;
    if (FPos + 1 < FLine.size() && FLine[FPos] == '0' && (FLine[FPos + 1] == 'x' || FLine[FPos + 1] == 'X')) {
      base = 16;
      FPos += 2;
    }
    std::uint64_t magnitude = 0;
    const char* first = FLine.data() + FPos;
    const char* last = FLine.data() + FLine.size();
    auto [end, ec] = std::from_chars(first, last, magnitude, base);
    if (ec != std::errc() || end == first) Fail(property, "malformed number");
    if (end < last && IsIdentChar(*end)) Fail(property, "malformed number");
    FPos += static_cast<std::size_t>(end - first);
    // The magnitude of INT64_MIN is one more than INT64_MAX.
    const std::uint64_t limit = negative ? std::uint64_t(INT64_MAX) + 1 : std::uint64_t(INT64_MAX);
    if (magnitude > limit) Fail(property, "number out of range");
    return negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
  }

  std::string String(const std::string& property) {
    ++FPos;  // opening quote
    std::string text;
    while (FPos < FLine.size()) {
      char c = FLine[FPos++];
      if (c == '"') return text;
      if (c != '\\') {
        text += c;
        continue;
      }
      if (FPos >= FLine.size()) break;
      switch (char e = FLine[FPos++]) {
        case '"':
          text += '"';
          break;
        case '\\':
          text += '\\';
          break;
        case 'n':
          text += '\n';
          break;
        case 't':
          text += '\t';
          break;
        default:
          Fail(property, std::string("unknown escape '\\") + e + "' in string");
      }
    }
    Fail(property, "unterminated string");
  }

  std::string_view FLine;
  const std::string& FSource;
  int FNumber;
  std::size_t FPos = 0;
};

}  // namespace

TLayoutObject ParseLayout(std::string_view text, std::string_view sourceName) {
  const std::string source(sourceName);
  if (text.size() > MaxLayoutBytes) throw ELayoutError(source, 0, "", "layout too large");

  TLayoutObject root;
  std::vector<TLayoutObject*> open;  // innermost last
  bool haveRoot = false;
  int number = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    TLineReader line(text.substr(pos, eol - pos), source, ++number);
    pos = eol + 1;
    if (line.AtEnd()) continue;
    if (line.Peek('\0')) line.Fail("", "NUL character");

    std::string word = line.Identifier("", true, "a property, an object or 'end'");
    if (line.Peek('=')) {
      line.Expect('=', word);
      if (open.empty()) line.Fail(word, "property outside any object");
      TLayoutProperty p{word, line.Value(word, 0), number};
      if (!line.AtEnd()) line.Fail(word, "unexpected text after the value");
      for (const TLayoutProperty& q : open.back()->Properties)
        if (q.Name == p.Name) line.Fail(word, "set twice (first on line " + std::to_string(q.Line) + ")");
      open.back()->Properties.push_back(std::move(p));
      continue;
    }
    if (word.find('.') != std::string::npos) line.Fail(word, "expected '='");
    if (word == "end") {
      if (!line.AtEnd()) line.Fail("", "unexpected text after 'end'");
      if (open.empty()) line.Fail("", "'end' without an open object");
      open.pop_back();
      continue;
    }

    TLayoutObject object;
    object.Keyword = word;
    object.Line = number;
    if (word == "form" || word == "control") {
      object.Name = line.Identifier("", false, "a name");
      line.Expect(':', object.Name);
      object.ClassName = line.Identifier(object.Name, false, "a class name");
    }
    if (!line.AtEnd()) {
      if (object.Name.empty()) line.Fail(word, "expected '='");
      line.Fail(object.Name, "unexpected text after the class name");
    }

    if (word == "form") {
      if (haveRoot) line.Fail(object.Name, open.empty() ? "a second root form" : "a form inside an object");
      root = std::move(object);
      haveRoot = true;
      open.push_back(&root);
      continue;
    }
    if (open.empty()) line.Fail(object.Name, "'" + word + "' outside the form");
    if (static_cast<int>(open.size()) >= MaxLayoutDepth) line.Fail(object.Name, "objects nested too deeply");
    open.back()->Children.push_back(std::move(object));
    open.push_back(&open.back()->Children.back());
  }
  if (!haveRoot) throw ELayoutError(source, number, "", "no form in layout");
  if (!open.empty()) {
    const TLayoutObject& unclosed = *open.back();
    throw ELayoutError(source, unclosed.Line, unclosed.Name, "'" + unclosed.Keyword + "' without 'end'");
  }
  return root;
}

}  // namespace classlib
