// Event slots: a method of some object, kept as two halves (code and
// instance) so that a slot can be filled with a handler of any class and
// emptied again, and the types of the events the class library raises.
// Qt-free.
#pragma once

#include <cstdint>
#include <utility>

namespace classlib {

class TObject;

template <typename Signature>
class TMethod;

template <typename R, typename... Args>
class TMethod<R(Args...)> {
 public:
  using TCode = R (*)(void* instance, Args...);

  TCode Code = nullptr;      // calls the method on Instance
  void* Instance = nullptr;  // the object the method belongs to

  TMethod() = default;

  // The slot for method of instance: TMethod<...>::Of<&TForm1::Button1Click>(form).
  template <auto Method, typename C>
  static TMethod Of(C* instance) {
    TMethod m;
    m.Code = [](void* self, Args... args) -> R {
      return (static_cast<C*>(self)->*Method)(std::forward<Args>(args)...);
    };
    m.Instance = instance;
    return m;
  }

  bool Assigned() const { return Code != nullptr; }
  explicit operator bool() const { return Assigned(); }
  void Clear() {
    Code = nullptr;
    Instance = nullptr;
  }
  R operator()(Args... args) const { return Code(Instance, std::forward<Args>(args)...); }
};

enum class TDragState { dsDragEnter, dsDragLeave, dsDragMove };

// Sender: the control whose event it is.
using TNotifyEvent = TMethod<void(TObject* Sender)>;
// Source: the control being dragged. Accept starts false; the handler sets it
// to take the drag.
using TDragOverEvent =
    TMethod<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDragDropEvent = TMethod<void(TObject* Sender, TObject* Source, int X, int Y)>;
// A help hook. Command is a help command number (HELP_CONTEXT ...), Data its
// argument: a context number or the address of a key-word text, so it is
// pointer-sized. CallHelp comes in true; a hook that clears it keeps the class
// library's own help system out. The result says whether the request was
// handled.
using THelpEvent = TMethod<bool(std::uint16_t Command, std::intptr_t Data, bool& CallHelp)>;

}  // namespace classlib
