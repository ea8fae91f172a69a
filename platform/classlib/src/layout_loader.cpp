// Applying stored layouts: creating controls by class name, setting
// properties by name, and binding events to published handlers.
#include <limits>

#include "classlib/comctrls.h"
#include "classlib/stdctrls.h"
#include "classlib_p.h"

namespace classlib {
namespace {

int loadingDepth = 0;

TControl* CreateControl(const std::string& className, TComponent* owner) {
  if (className == "TListView") return new TListView(owner);
  if (className == "TRadioButton") return new TRadioButton(owner);
  if (className == "TButton") return new TButton(owner);
  return nullptr;
}

}  // namespace

bool LayoutLoading() { return loadingDepth > 0; }

TLayoutLoader::TLayoutLoader(TForm& form, std::string source)
    : FForm(form), FSource(std::move(source)), FFormClass(form.ClassName()) {
  FForm.Publish(FPublisher);
}

void TLayoutLoader::Fail(const std::string& reason) const {
  throw ELayoutError(FSource, FLine, FProperty, reason);
}

void TLayoutLoader::Apply(const TLayoutObject& root) {
  ++loadingDepth;
  struct TLeave {
    ~TLeave() { --loadingDepth; }
  } leave;
  FLine = root.Line;
  FProperty = root.Name;
  if (root.ClassName != FFormClass) Fail("layout of class " + root.ClassName + ", not " + FFormClass);
  FForm.SetName(root.Name);
  ApplyObject(root, FForm);
  for (auto& bind : FBindings) bind();
}

void TLayoutLoader::ApplyObject(const TLayoutObject& object, TControl& control) {
  const std::string className = control.ClassName();
  for (const TLayoutProperty& p : object.Properties) Property(p, control, className);
  for (const TLayoutObject& child : object.Children) {
    FLine = child.Line;
    FProperty = child.Name;
    if (child.Keyword != "control") {
      if (!control.AddLayoutEntry(child, *this))
        Fail("no collection '" + child.Keyword + "' in " + className);
      continue;
    }
    if (&control != &FForm) Fail(className + " cannot hold controls");
    if (FForm.FindComponent(child.Name)) Fail("a second component called " + child.Name);
    TControl* created = CreateControl(child.ClassName, &FForm);
    if (!created) Fail("unknown control class " + child.ClassName);
    created->SetName(child.Name);
    FForm.InsertControl(created);
    if (FPublisher.HasField(child.Name) && !FPublisher.AssignField(child.Name, created))
      Fail("field " + child.Name + " of " + FFormClass + " does not take a " + child.ClassName);
    ApplyObject(child, *created);
  }
}

void TLayoutLoader::Property(const TLayoutProperty& p, TControl& control, const std::string& className) {
  FLine = p.Line;
  FProperty = p.Name;
  if (!control.SetLayoutProperty(p.Name, p.Value, *this)) Fail("no such property of " + className);
}

int TLayoutLoader::Int(const TLayoutValue& v) {
  if (v.Kind != TLayoutValue::TKind::Integer) Fail("expected a number");
  if (v.Integer < std::numeric_limits<int>::min() || v.Integer > std::numeric_limits<int>::max())
    Fail("number out of range");
  return static_cast<int>(v.Integer);
}

bool TLayoutLoader::Bool(const TLayoutValue& v) {
  if (v.Kind == TLayoutValue::TKind::Identifier && (v.Text == "true" || v.Text == "false"))
    return v.Text == "true";
  Fail("expected true or false");
}

std::string TLayoutLoader::String(const TLayoutValue& v) {
  if (v.Kind != TLayoutValue::TKind::String) Fail("expected a string in quotes");
  return v.Text;
}

std::string TLayoutLoader::Identifier(const TLayoutValue& v) {
  if (v.Kind != TLayoutValue::TKind::Identifier) Fail("expected a name");
  return v.Text;
}

std::vector<std::string> TLayoutLoader::Strings(const TLayoutValue& v) {
  if (v.Kind != TLayoutValue::TKind::List) Fail("expected a list in brackets");
  std::vector<std::string> result;
  for (const TLayoutValue& item : v.Items) result.push_back(String(item));
  return result;
}

bool TLayoutLoader::FontProperty(const std::string& name, const TLayoutValue& v, TFont& font) {
  if (name == "Font.Name") {
    font.Name = String(v);
    if (font.Name.empty()) Fail("empty font name");
  } else if (name == "Font.Height") {
    font.Height = Int(v);
    if (font.Height == 0 || font.Height < -1000 || font.Height > 1000) Fail("font height out of range");
  } else if (name == "Font.Charset") {
    font.Charset =
        Enum<std::string>(v, {{"DEFAULT_CHARSET", "DEFAULT_CHARSET"}, {"ANSI_CHARSET", "ANSI_CHARSET"}});
  } else if (name == "Font.Color") {
    font.Color = Enum<TColor>(v, {{"clWindowText", TColor::clWindowText},
                                  {"clBtnFace", TColor::clBtnFace},
                                  {"clWindow", TColor::clWindow},
                                  {"clHighlight", TColor::clHighlight},
                                  {"clHighlightText", TColor::clHighlightText}});
  } else if (name == "Font.Style") {
    font.Style = Set<TFontStyle>(v, {{"fsBold", TFontStyle::fsBold},
                                     {"fsItalic", TFontStyle::fsItalic},
                                     {"fsUnderline", TFontStyle::fsUnderline},
                                     {"fsStrikeOut", TFontStyle::fsStrikeOut}});
  } else {
    return false;
  }
  return true;
}

bool TControl::SetLayoutProperty(const std::string& name, const TLayoutValue& v, TLayoutLoader& loader) {
  auto nonNegative = [&](const TLayoutValue& value) {
    int n = loader.Int(value);
    if (n < 0 || n > 100000) loader.Fail("size out of range");
    return n;
  };
  auto coordinate = [&](const TLayoutValue& value) {
    int n = loader.Int(value);
    if (n < -100000 || n > 100000) loader.Fail("position out of range");
    return n;
  };
  TFont font = Font();
  if (name == "Left") {
    SetBounds(coordinate(v), Top(), Width(), Height());
  } else if (name == "Top") {
    SetBounds(Left(), coordinate(v), Width(), Height());
  } else if (name == "Width") {
    SetBounds(Left(), Top(), nonNegative(v), Height());
  } else if (name == "Height") {
    SetBounds(Left(), Top(), Width(), nonNegative(v));
  } else if (name == "Align") {
    SetAlign(loader.Enum<TAlign>(v, {{"alNone", TAlign::alNone},
                                     {"alTop", TAlign::alTop},
                                     {"alBottom", TAlign::alBottom},
                                     {"alLeft", TAlign::alLeft},
                                     {"alRight", TAlign::alRight},
                                     {"alClient", TAlign::alClient}}));
  } else if (name == "Anchors") {
    SetAnchors(loader.Set<TAnchorKind>(v, {{"akLeft", TAnchorKind::akLeft},
                                           {"akTop", TAnchorKind::akTop},
                                           {"akRight", TAnchorKind::akRight},
                                           {"akBottom", TAnchorKind::akBottom}}));
  } else if (name == "TabOrder") {
    SetTabOrder(nonNegative(v));
  } else if (name == "TabStop") {
    SetTabStop(loader.Bool(v));
  } else if (name == "HelpContext") {
    SetHelpContext(loader.Int(v));
  } else if (name == "Visible") {
    SetVisible(loader.Bool(v));
  } else if (name == "Enabled") {
    SetEnabled(loader.Bool(v));
  } else if (name == "DragMode") {
    SetDragMode(loader.Enum<TDragMode>(
        v, {{"dmManual", TDragMode::dmManual}, {"dmAutomatic", TDragMode::dmAutomatic}}));
  } else if (name == "ParentFont") {
    SetParentFont(loader.Bool(v));
  } else if (loader.FontProperty(name, v, font)) {
    SetFont(font);
  } else if (name == "OnClick") {
    loader.Event(v, *this, OnClick);
  } else if (name == "OnDragOver") {
    loader.Event(v, *this, OnDragOver);
  } else if (name == "OnDragDrop") {
    loader.Event(v, *this, OnDragDrop);
  } else {
    return false;
  }
  return true;
}

bool TControl::AddLayoutEntry(const TLayoutObject&, TLayoutLoader&) { return false; }

bool TForm::SetLayoutProperty(const std::string& name, const TLayoutValue& v, TLayoutLoader& loader) {
  auto positive = [&](const TLayoutValue& value) {
    int n = loader.Int(value);
    if (n <= 0 || n > 100000) loader.Fail("out of range");
    return n;
  };
  if (name == "Left") {
    Widget()->move(loader.Int(v), Top());
  } else if (name == "Top") {
    Widget()->move(Left(), loader.Int(v));
  } else if (name == "ClientWidth") {
    SetClientSize(positive(v), ClientHeight());
  } else if (name == "ClientHeight") {
    SetClientSize(ClientWidth(), positive(v));
  } else if (name == "Caption") {
    SetCaption(loader.String(v));
  } else if (name == "Color") {
    SetColor(loader.Enum<TColor>(v, {{"clBtnFace", TColor::clBtnFace}, {"clWindow", TColor::clWindow}}));
  } else if (name == "AutoScroll") {
    SetAutoScroll(loader.Bool(v));
    if (AutoScroll()) loader.Fail("scroll bars on forms are not supported");
  } else if (name == "PixelsPerInch") {
    FPixelsPerInch = positive(v);
  } else if (name == "TextHeight") {
    FTextHeight = positive(v);
  } else if (name == "BorderIcons") {
    SetBorderIcons(loader.Set<TBorderIcon>(v, {{"biSystemMenu", TBorderIcon::biSystemMenu},
                                               {"biMinimize", TBorderIcon::biMinimize},
                                               {"biMaximize", TBorderIcon::biMaximize},
                                               {"biHelp", TBorderIcon::biHelp}}));
  } else if (name == "OnCreate") {
    loader.Event(v, *this, OnCreate);
  } else if (name == "OnHelp") {
    loader.Event(v, *this, OnHelp);
  } else if (name == "Width" || name == "Height" || name == "Align" || name == "Anchors" ||
             name == "ParentFont" || name == "TabOrder" || name == "TabStop" || name == "DragMode") {
    return false;  // meaningless for a window; the loader names it
  } else {
    return TControl::SetLayoutProperty(name, v, loader);
  }
  return true;
}

bool TPublisher::AssignField(const std::string& name, TComponent* component) const {
  auto it = FFields.find(name);
  return it != FFields.end() && it->second(component);
}

}  // namespace classlib
