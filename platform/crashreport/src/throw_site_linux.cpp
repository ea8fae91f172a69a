// The executable's own __cxa_throw: records the throw site, then hands over
// to the C++ runtime's. Because the executable defines it, the dynamic linker
// binds the program's and the libraries' throws to it first. Kept apart from
// <cxxabi.h>, whose declaration this definition must match.
#include <dlfcn.h>
#include <execinfo.h>

#include <cstring>
#include <typeinfo>

#include "throw_site_p.h"

namespace crashreport::detail {
namespace {

constexpr int kRing = 8;  // nested and rethrown exceptions in flight on one thread

// Plain static TLS: no allocation, no constructor.
thread_local TThrowSite sites[kRing];
thread_local int nextSite = 0;
thread_local std::uintptr_t pendingFaultPc = 0;

using TCxaThrow = void (*)(void*, std::type_info*, void (*)(void*));

TCxaThrow RealCxaThrow() {
  static TCxaThrow real = reinterpret_cast<TCxaThrow>(::dlsym(RTLD_NEXT, "__cxa_throw"));
  return real;
}

[[gnu::noinline]] void Record(void* object) {
  TThrowSite& site = sites[nextSite];
  nextSite = (nextSite + 1) % kRing;
  constexpr int kSkip = 2;  // Record itself and __cxa_throw below
  void* frames[kThrowFrames + kSkip];
  int count = ::backtrace(frames, kThrowFrames + kSkip);
  site.Object = object;
  site.Count = count > kSkip ? count - kSkip : 0;
  for (int i = 0; i < site.Count; ++i) site.Pcs[i] = reinterpret_cast<std::uintptr_t>(frames[i + kSkip]);
  site.FaultPc = pendingFaultPc;
  pendingFaultPc = 0;
  if (site.FaultPc) {
    // Thrown from the fault handler: drop the handler's frames, start at the fault.
    for (int i = 0; i < site.Count; ++i) {
      if (site.Pcs[i] == site.FaultPc) {
        std::memmove(site.Pcs, site.Pcs + i, (site.Count - i) * sizeof site.Pcs[0]);
        site.Count -= i;
        break;
      }
    }
  }
}

}  // namespace

const TThrowSite* FindThrowSite(const std::exception_ptr& error) {
  // libstdc++'s exception_ptr is one pointer to the thrown object, the same
  // pointer __cxa_throw got.
  static_assert(sizeof(std::exception_ptr) == sizeof(void*));
  const void* object = nullptr;
  std::memcpy(&object, &error, sizeof object);
  if (!object) return nullptr;
  for (const TThrowSite& site : sites)
    if (site.Object == object) return &site;
  return nullptr;
}

void NoteFaultPc(std::uintptr_t pc) { pendingFaultPc = pc; }

void WarmUpThrowCapture() {
  void* frames[2];
  ::backtrace(frames, 2);
  RealCxaThrow();
}

}  // namespace crashreport::detail

extern "C" [[noreturn]] void __cxa_throw(void* object, std::type_info* type, void (*destroy)(void*)) {
  using namespace crashreport::detail;
  Record(object);
  RealCxaThrow()(object, type, destroy);
  __builtin_unreachable();
}
