// Stored layouts: the class library's plain-text format for forms and pages.
//
// A layout is read in two steps: ParseLayout() turns the text into the plain
// structures below, checking only the syntax; the form loader (form.h) then
// applies the properties to components and binds handlers by name. Anything
// else that keeps pages in this format (the crash reporter's assistant pages)
// can read them with ParseLayout() alone. This header includes nothing of Qt.
//
// The format, one statement per line (indentation is for the reader only):
//
//   # a comment, up to the end of the line
//   form Form1 : TForm1            the root object: name and class
//     Caption = "Quorvik"          a property: name, '=', value
//     Font.Height = -14            dotted names reach nested properties
//     BorderIcons = [biSystemMenu, biMinimize]   a list of values
//     OnCreate = FormCreate        an event, bound to a handler by name
//     control ListView1 : TListView              a child component
//       column                     an entry of one of its collections
//         Caption = "Column 1"
//       end
//     end
//   end
//
// Values: integers (decimal, optional '-', or 0x hex), strings in double
// quotes (escapes \" \\ \n \t), identifiers (true, false, enumeration names,
// handler names), and lists in brackets of any of those.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace classlib {

struct TLayoutValue {
  enum class TKind { Integer, String, Identifier, List };
  TKind Kind = TKind::Integer;
  std::int64_t Integer = 0;
  std::string Text;                 // String and Identifier
  std::vector<TLayoutValue> Items;  // List
};

struct TLayoutProperty {
  std::string Name;  // may be dotted: "Font.Name"
  TLayoutValue Value;
  int Line = 0;
};

// One object of a layout: the root form, a child control ("control"), or an
// entry of a collection (any other keyword, such as "column" or "item"),
// which has neither name nor class.
struct TLayoutObject {
  std::string Keyword;  // "form", "control", or the collection's entry word
  std::string Name;
  std::string ClassName;
  int Line = 0;
  std::vector<TLayoutProperty> Properties;
  std::vector<TLayoutObject> Children;  // controls and collection entries, in order
};

// Raised for a malformed layout or one the loader cannot apply. what() reads
// "<source>, line <n>: <property>: <reason>" (the property part only where
// one is concerned), so that a reader finds the place at once.
class ELayoutError : public std::runtime_error {
 public:
  ELayoutError(std::string source, int line, std::string property, std::string reason);
  const std::string& Source() const { return FSource; }
  int Line() const { return FLine; }
  const std::string& Property() const { return FProperty; }
  const std::string& Reason() const { return FReason; }

 private:
  std::string FSource;
  int FLine;
  std::string FProperty;
  std::string FReason;
};

// Limits that keep a damaged or hostile layout from exhausting the stack or
// memory. Layouts of real forms stay far below them.
inline constexpr std::size_t MaxLayoutBytes = 1 << 20;
inline constexpr int MaxLayoutDepth = 32;
inline constexpr std::size_t MaxListItems = 4096;

// Parses text as a layout whose root must be a "form". source names the text
// in error messages (a resource name). Throws ELayoutError on any syntax
// error or exceeded limit; never reads outside text.
TLayoutObject ParseLayout(std::string_view text, std::string_view source);

// Returns the property called name of object, or nullptr.
const TLayoutProperty* FindProperty(const TLayoutObject& object, std::string_view name);

}  // namespace classlib
