// The assistants' pages, stored in the class library's layout format
// (classlib/layout_parser.h) as the resources TCRCONTACTFORM, TCRDETAILSFORM
// and TCRSCRSHOTFORM, read into plain structures. Building widgets from them
// belongs to the assistants. Qt-free; allocates, so not for signal handlers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace crashreport {

struct TPageItem {
  std::string Name;
  std::string ClassName;  // TLabel, TEdit, TMemo, TCheckBox, TImage, TButton
  std::string Caption;
  int Left = 0, Top = 0, Width = 0, Height = 0;
  int Lines = 1;          // TMemo: visible lines
  bool Required = false;  // TEdit, TMemo: the page cannot continue while empty
  bool Checked = false;   // TCheckBox
  bool Enabled = true;
  bool Bordered = false;      // TImage
  std::string OnClick;        // handler name, empty for none
  std::string ReportAs;       // header line the field's text goes to ("contact name")
  std::string ReportSection;  // report section the field's text goes to ("error details")
};

struct TPage {
  std::string Name;  // ContactForm
  std::string Title;
  int Timer = 0;  // refresh period in milliseconds, 0 = none
  int Width = 0, Height = 0;
  std::string ActiveControl;  // item focused when the page opens, empty = first
  std::vector<TPageItem> Items;

  // The item called name, or nullptr.
  const TPageItem* Item(std::string_view name) const;
};

// Reads a page from its layout text. Throws classlib::ELayoutError naming the
// line and property for a syntax error, an unknown property or class, or a
// value of the wrong type.
TPage ParsePage(std::string_view text, std::string_view source);

// The embedded page resource called resourceName ("TCRCONTACTFORM"). Throws
// classlib::ELayoutError when it is absent or malformed.
TPage ReadEmbeddedPage(std::string_view resourceName);

// Resource names of the three pages, in assistant order.
inline constexpr const char* kPageResources[] = {"TCRCONTACTFORM", "TCRDETAILSFORM", "TCRSCRSHOTFORM"};

}  // namespace crashreport
