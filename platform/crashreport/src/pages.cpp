#include "crashreport/pages.h"

#include "classlib/layout_parser.h"
#include "classlib/resources.h"

namespace crashreport {
namespace {

using classlib::ELayoutError;
using classlib::TLayoutObject;
using classlib::TLayoutProperty;
using classlib::TLayoutValue;

struct TReader {
  std::string Source;

  int Int(const TLayoutProperty& p) const {
    if (p.Value.Kind != TLayoutValue::TKind::Integer)
      throw ELayoutError(Source, p.Line, p.Name, "expected a number");
    return static_cast<int>(p.Value.Integer);
  }
  bool Bool(const TLayoutProperty& p) const {
    if (p.Value.Kind == TLayoutValue::TKind::Identifier &&
        (p.Value.Text == "true" || p.Value.Text == "false"))
      return p.Value.Text == "true";
    throw ELayoutError(Source, p.Line, p.Name, "expected true or false");
  }
  std::string Text(const TLayoutProperty& p) const {
    if (p.Value.Kind != TLayoutValue::TKind::String)
      throw ELayoutError(Source, p.Line, p.Name, "expected a text");
    return p.Value.Text;
  }
  std::string Ident(const TLayoutProperty& p) const {
    if (p.Value.Kind != TLayoutValue::TKind::Identifier)
      throw ELayoutError(Source, p.Line, p.Name, "expected a name");
    return p.Value.Text;
  }

  TPageItem Item(const TLayoutObject& o) const {
    static const char* kClasses[] = {"TLabel", "TEdit", "TMemo", "TCheckBox", "TImage", "TButton"};
    bool known = false;
    for (const char* c : kClasses) known = known || o.ClassName == c;
    if (o.Keyword != "control" || !known)
      throw ELayoutError(Source, o.Line, "", "unknown page item '" + o.Keyword + " " + o.ClassName + "'");
    TPageItem item;
    item.Name = o.Name;
    item.ClassName = o.ClassName;
    for (const TLayoutProperty& p : o.Properties) {
      if (p.Name == "Caption")
        item.Caption = Text(p);
      else if (p.Name == "Left")
        item.Left = Int(p);
      else if (p.Name == "Top")
        item.Top = Int(p);
      else if (p.Name == "Width")
        item.Width = Int(p);
      else if (p.Name == "Height")
        item.Height = Int(p);
      else if (p.Name == "Lines")
        item.Lines = Int(p);
      else if (p.Name == "Required")
        item.Required = Bool(p);
      else if (p.Name == "Checked")
        item.Checked = Bool(p);
      else if (p.Name == "Enabled")
        item.Enabled = Bool(p);
      else if (p.Name == "Bordered")
        item.Bordered = Bool(p);
      else if (p.Name == "OnClick")
        item.OnClick = Ident(p);
      else if (p.Name == "ReportAs")
        item.ReportAs = Text(p);
      else if (p.Name == "ReportSection")
        item.ReportSection = Text(p);
      else
        throw ELayoutError(Source, p.Line, p.Name, "unknown property");
    }
    if (!o.Children.empty())
      throw ELayoutError(Source, o.Children.front().Line, "", "page items have no children");
    return item;
  }
};

}  // namespace

const TPageItem* TPage::Item(std::string_view name) const {
  for (const TPageItem& item : Items)
    if (item.Name == name) return &item;
  return nullptr;
}

TPage ParsePage(std::string_view text, std::string_view source) {
  TLayoutObject root = classlib::ParseLayout(text, source);
  TReader r{std::string(source)};
  TPage page;
  page.Name = root.Name;
  for (const TLayoutProperty& p : root.Properties) {
    if (p.Name == "Caption")
      page.Title = r.Text(p);
    else if (p.Name == "Timer")
      page.Timer = r.Int(p);
    else if (p.Name == "Width")
      page.Width = r.Int(p);
    else if (p.Name == "Height")
      page.Height = r.Int(p);
    else if (p.Name == "ActiveControl")
      page.ActiveControl = r.Ident(p);
    else
      throw ELayoutError(r.Source, p.Line, p.Name, "unknown property");
  }
  for (const TLayoutObject& child : root.Children) page.Items.push_back(r.Item(child));
  if (!page.ActiveControl.empty() && !page.Item(page.ActiveControl))
    throw ELayoutError(r.Source, root.Line, "ActiveControl", "no item called '" + page.ActiveControl + "'");
  return page;
}

TPage ReadEmbeddedPage(std::string_view resourceName) {
  std::optional<std::string_view> text = classlib::FindResource(resourceName);
  if (!text) throw ELayoutError(std::string(resourceName), 0, "", "resource not linked into the executable");
  return ParsePage(*text, resourceName);
}

}  // namespace crashreport
