// The executable's own __cxa_throw: records the throw site, then hands over
// to the C++ runtime's. Because the executable defines it, the dynamic linker
// binds the program's and the libraries' throws to it first. Kept apart from
// <cxxabi.h>, whose declaration this definition must match.
#include <dlfcn.h>
#include <execinfo.h>

#include <algorithm>
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

// thrower: the return address into the code that threw. The stack is kept
// from there on; the frames above it (this function, __cxa_throw, and any
// interceptor around backtrace, as AddressSanitizer has) are dropped.
[[gnu::noinline]] void Record(void* object, void* thrower) {
  TThrowSite& site = sites[nextSite];
  nextSite = (nextSite + 1) % kRing;
  constexpr int kAbove = 4;
  void* frames[kThrowFrames + kAbove];
  int count = ::backtrace(frames, kThrowFrames + kAbove);
  int skip = 0;
  while (skip < count && skip < kAbove && frames[skip] != thrower) ++skip;
  if (skip == count || skip == kAbove) skip = 2;  // not found: Record and __cxa_throw
  site.Object = object;
  site.Count = std::min(count > skip ? count - skip : 0, kThrowFrames);
  for (int i = 0; i < site.Count; ++i) site.Pcs[i] = reinterpret_cast<std::uintptr_t>(frames[i + skip]);
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
  Record(object, __builtin_return_address(0));
  RealCxaThrow()(object, type, destroy);
  __builtin_unreachable();
}
