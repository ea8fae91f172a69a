#include "classlib/dispatch.h"

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "classlib/exceptions.h"

namespace classlib {
namespace {

// Plain thread-local int: reading it is async-signal-safe, unlike anything
// that might allocate on first use.
thread_local int dispatchDepth = 0;
std::atomic<TExceptionHandler> exceptionHandler{nullptr};
std::atomic<TDispatchObserver> dispatchObserver{nullptr};
std::atomic<TExceptionHandler> defaultHandler{nullptr};

}  // namespace

namespace detail {
TDispatchScope::TDispatchScope(const char* handler) noexcept {
  if (TDispatchObserver observer = dispatchObserver.load()) observer(handler ? handler : "");
  ++dispatchDepth;
}
TDispatchScope::~TDispatchScope() { --dispatchDepth; }

void SetDefaultExceptionHandler(TExceptionHandler handler) { defaultHandler.store(handler); }
}  // namespace detail

TExceptionHandler SetExceptionHandler(TExceptionHandler handler) {
  return exceptionHandler.exchange(handler);
}

void SetDispatchObserver(TDispatchObserver observer) { dispatchObserver.store(observer); }

bool InDispatch() noexcept { return dispatchDepth > 0; }

void HandleException(std::exception_ptr error, const char* handler) noexcept {
  TExceptionHandler h = exceptionHandler.load();
  if (!h) h = defaultHandler.load();
  try {
    if (h) {
      h(error, handler ? handler : "");
      return;
    }
  } catch (...) {
    // The handling itself failed; there is nobody left to tell but stderr.
  }
  std::fprintf(stderr, "%s: an error escaped %s and no exception handling took it\n",
               program_invocation_short_name, handler && *handler ? handler : "program code");
}

}  // namespace classlib
