// The one place where the class library calls program code (event handlers,
// creation handlers). Whatever escapes a handler is caught here and handed to
// the application's exception handling, so that no exception ever unwinds
// through the toolkit's frames. The crash reporter takes that handling over
// with SetExceptionHandler(); until it does, the class library's default
// shows the error's message and goes on. Qt-free.
#pragma once

#include <exception>
#include <utility>

namespace classlib {

// Receives an error that escaped program code. handler names the program's
// handler that was running ("Button1Click"), or is empty. Runs on the thread
// that dispatched, inside the dispatch point's catch, so it may inspect the
// error with std::rethrow_exception. When it returns, the message loop goes
// on with the next message.
using TExceptionHandler = void (*)(std::exception_ptr error, const char* handler);

// Installs handler as the application's exception handling (nullptr restores
// the class library's default) and returns the one it replaces. May be called
// before the application object exists. Main thread only.
TExceptionHandler SetExceptionHandler(TExceptionHandler handler);

// Hands error to the application's exception handling, as the dispatch point
// does. Never throws.
void HandleException(std::exception_ptr error, const char* handler) noexcept;

// True while the calling thread is inside Dispatch(), that is, while program
// code called by the class library runs on it. Async-signal-safe: the crash
// reporter's fault handler reads it to decide whether a fault can become an
// ordinary exception of that dispatch.
bool InDispatch() noexcept;

// Observer for tests and diagnostics: called with the handler's name at every
// dispatch, before the handler runs. nullptr (the default) turns it off.
using TDispatchObserver = void (*)(const char* handler);
void SetDispatchObserver(TDispatchObserver observer);

namespace detail {
struct TDispatchScope {
  explicit TDispatchScope(const char* handler) noexcept;
  ~TDispatchScope();
  TDispatchScope(const TDispatchScope&) = delete;
  TDispatchScope& operator=(const TDispatchScope&) = delete;
};
}  // namespace detail

// Calls fn(); an exception escaping it goes to HandleException() with handler
// as the handler's name. Returns true when fn returned normally.
template <typename F>
bool Dispatch(const char* handler, F&& fn) noexcept {
  try {
    detail::TDispatchScope scope(handler);
    std::forward<F>(fn)();
    return true;
  } catch (...) {
    HandleException(std::current_exception(), handler);
    return false;
  }
}

}  // namespace classlib
