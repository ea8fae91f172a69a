// TForm: a top-level window built from a stored layout. A form class names
// its controls and handlers in Publish(), so the layout can fill the fields
// and bind events by name; CreateForm() (application.h) builds it.
#pragma once

#include <any>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <typeindex>
#include <vector>

#include "classlib/controls.h"

namespace classlib {

enum class TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = std::set<TBorderIcon>;

// What a form class makes known to its stored layout: fields that receive the
// controls created by name, and handlers that events are bound to by name.
class TPublisher {
 public:
  template <typename T>
  void Field(const std::string& name, T*& field) {
    FFields[name] = [&field](TComponent* c) {
      T* typed = dynamic_cast<T*>(c);
      if (typed) field = typed;
      return typed != nullptr;
    };
  }
  template <auto Method, typename C>
  void Handler(const std::string& name, C* instance) {
    using TEvent = typename TEventOf<decltype(Method)>::Type;
    FHandlers[name] = {std::type_index(typeid(TEvent)), TEvent::template Of<Method>(instance)};
  }

  // Sets the field called name to component. False when there is no such
  // field; throws std::bad_cast-free: returns false too when the field's
  // type does not fit (the loader reports it).
  bool HasField(const std::string& name) const { return FFields.count(name) != 0; }
  bool AssignField(const std::string& name, TComponent* component) const;

  // The handler called name as an event slot of type TEvent: nullptr when
  // there is none; *wrongType tells whether one exists with another shape.
  template <typename TEvent>
  const TEvent* FindHandler(const std::string& name, bool* wrongType) const {
    auto it = FHandlers.find(name);
    *wrongType = false;
    if (it == FHandlers.end()) return nullptr;
    if (it->second.Type != std::type_index(typeid(TEvent))) {
      *wrongType = true;
      return nullptr;
    }
    return std::any_cast<TEvent>(&it->second.Slot);
  }

 private:
  template <typename M>
  struct TEventOf;
  template <typename C, typename R, typename... A>
  struct TEventOf<R (C::*)(A...)> {
    using Type = TMethod<R(A...)>;
  };
  struct THandler {
    std::type_index Type{typeid(void)};
    std::any Slot;
  };
  std::map<std::string, std::function<bool(TComponent*)>> FFields;
  std::map<std::string, THandler> FHandlers;
};

class TForm : public TControl {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;

  std::string Caption() const override;
  void SetCaption(const std::string& caption) override;
  int ClientWidth() const;
  int ClientHeight() const;
  void SetClientSize(int width, int height);

  const TBorderIcons& BorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(TBorderIcons icons);
  TColor Color() const { return FColor; }
  void SetColor(TColor color);
  bool AutoScroll() const { return FAutoScroll; }
  void SetAutoScroll(bool on) { FAutoScroll = on; }

  // The density and text height the layout was made for, and those in force
  // after scaling to the screen.
  int PixelsPerInch() const { return FPixelsPerInch; }
  int TextHeight() const { return FTextHeight; }

  // The form's own help hook, asked before the application's.
  THelpEvent OnHelp;
  TNotifyEvent OnCreate;

  // The controls placed on the form, in the order they were created.
  const std::vector<TControl*>& Controls() const { return FControls; }
  // The control that has the keyboard focus, or nullptr.
  TControl* ActiveControl() const;

  void Show();
  void Hide();
  void Close();
  bool Showing() const;

  // The native window's id, created on first use (the X11 window id).
  std::uintptr_t Handle() const;

  // Builds the form from the stored layout named after its class, scales it
  // to the screen and raises OnCreate. Called once by CreateForm(). Throws
  // ELayoutError for a missing or malformed layout.
  void Load();
  // As Load(), from the given layout text (tests, pages).
  void LoadFromText(std::string_view text, std::string_view source);

  bool SetLayoutProperty(const std::string& name, const TLayoutValue& value, TLayoutLoader& loader) override;

  // Re-lays out aligned and anchored controls for the current client size.
  void AlignControls();

 protected:
  // Makes the form's controls and handlers known to its layout.
  virtual void Publish(TPublisher&) {}

 private:
  friend class TControl;
  friend class TLayoutLoader;
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  void ScaleToScreen();
  void ApplyTabOrder();
  void RecordAnchors();
  void UpdateWindowFlags();

  std::vector<TControl*> FControls;
  TBorderIcons FBorderIcons{TBorderIcon::biSystemMenu, TBorderIcon::biMinimize, TBorderIcon::biMaximize};
  TColor FColor = TColor::clBtnFace;
  bool FAutoScroll = false;
  int FPixelsPerInch = 96;
  int FTextHeight = 0;
  bool FLoaded = false;
  struct TAnchorRule {
    int Left, Top, Right, Bottom, Width, Height;
  };
  std::map<TControl*, TAnchorRule> FAnchorRules;
};

}  // namespace classlib
