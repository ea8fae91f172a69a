// Private to the class library and its tests: the glue between the class
// library's objects and their Qt widgets.
#pragma once

#include <QPixmap>
#include <QPoint>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "classlib/controls.h"
#include "classlib/forms.h"
#include "classlib/layout_parser.h"

namespace classlib {

// The control that owns widget or, failing that, its nearest ancestor.
TControl* ControlOf(const QWidget* widget);
// Marks widget as the widget of control, for ControlOf(), and watches its mouse.
void AttachControl(QWidget* widget, TControl* control);
// Passes the mouse events of widget, an inner part of a control's widget (a
// list's viewport), to the drag handling too.
void WatchMouse(QWidget* widget);

class TDragImage {
 public:
  QPixmap Pixmap;
  QPoint HotSpot;  // the press point inside the picture
};

// Applies a parsed layout to a form: creates the controls, sets properties,
// and binds events by name once every property is set (so that stored state
// such as a checked radio button raises no handler while the form is built).
class TLayoutLoader {
 public:
  TLayoutLoader(TForm& form, std::string source);
  void Apply(const TLayoutObject& root);

  // Readers of property values; they raise ELayoutError naming the current
  // line and property when the value has the wrong type or range.
  int Int(const TLayoutValue& v);
  bool Bool(const TLayoutValue& v);
  std::string String(const TLayoutValue& v);
  std::string Identifier(const TLayoutValue& v);
  std::vector<std::string> Strings(const TLayoutValue& v);
  template <typename E>
  E Enum(const TLayoutValue& v, std::initializer_list<std::pair<const char*, E>> names) {
    std::string id = Identifier(v);
    for (const auto& [name, value] : names)
      if (id == name) return value;
    Fail("unknown value '" + id + "'");
  }
  template <typename E>
  std::set<E> Set(const TLayoutValue& v, std::initializer_list<std::pair<const char*, E>> names) {
    if (v.Kind != TLayoutValue::TKind::List) Fail("expected a list in brackets");
    std::set<E> result;
    for (const TLayoutValue& item : v.Items) result.insert(Enum(item, names));
    return result;
  }
  // Binds slot to the published handler named by v, after all properties are set.
  template <typename TEvent>
  void Event(const TLayoutValue& v, TControl& control, TEvent& slot) {
    std::string name = Identifier(v);
    bool wrongType = false;
    const TEvent* handler = FPublisher.FindHandler<TEvent>(name, &wrongType);
    if (wrongType) Fail("handler '" + name + "' does not fit this event");
    if (!handler) Fail("no handler '" + name + "' in " + FFormClass);
    TEvent bound = *handler;
    std::string event = FProperty;
    FBindings.push_back([&control, &slot, bound, event, name] {
      slot = bound;
      control.SetHandlerName(event, name);
    });
  }
  [[noreturn]] void Fail(const std::string& reason) const;
  // Makes p the property that later errors name.
  void At(const TLayoutProperty& p) {
    FLine = p.Line;
    FProperty = p.Name;
  }
  // Font.* properties of a control; true when name was one.
  bool FontProperty(const std::string& name, const TLayoutValue& v, TFont& font);

 private:
  void ApplyObject(const TLayoutObject& object, TControl& control);
  void Property(const TLayoutProperty& p, TControl& control, const std::string& className);

  TForm& FForm;
  std::string FSource;
  std::string FFormClass;
  TPublisher FPublisher;
  std::vector<std::function<void()>> FBindings;
  int FLine = 0;
  std::string FProperty;
};

// True while any form is being built from its layout.
bool LayoutLoading();

// Drag and drop in progress, driven by the class library's mouse handling.
// Tests read its state.
struct TDragStatus {
  bool Active = false;
  TControl* Source = nullptr;
  TControl* Target = nullptr;
  bool Accepted = false;
  TCursor Cursor = TCursor::crDefault;
  QWidget* ImageWindow = nullptr;
};
const TDragStatus& DragStatus();
// Feeds one mouse event of a control's widget to the drag handling; true
// when the event was used by it and must not reach the widget.
bool DragMouseEvent(TControl* control, QWidget* widget, QEvent* event);
// Ends a drag in progress without a drop (Escape, focus loss, shutdown).
void CancelDrag();

// The message shown by the class library's own help system.
std::string BuiltInHelpMessage(const std::string& file, std::uint16_t command, std::intptr_t data);

}  // namespace classlib
