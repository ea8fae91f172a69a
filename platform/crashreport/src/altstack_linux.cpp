// Alternate signal stacks for every thread, so that a stack overflow on any
// thread still reaches the fault handler. Threads made after the crash
// reporter starts get theirs through the pthread_create below, which the
// executable exports in place of the C library's (the dynamic linker binds
// every library's pthread_create to the executable's definition first).
#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "signals_p.h"

namespace crashreport::detail {
namespace {

// Room for the handler's own frames plus the guard page below it.
constexpr std::size_t kAltStackSize = 64 * 1024;

thread_local void* altStack = nullptr;

struct TStart {
  void* (*Routine)(void*);
  void* Arg;
};

void* StartWithAltStack(void* raw) {
  TStart start = *static_cast<TStart*>(raw);
  std::free(raw);
  EnsureAltStack();
  return start.Routine(start.Arg);
  // The mapping is left to the process's end: a thread's alternate stack is
  // small, and unmapping it while the thread could still take a signal (in
  // its TLS destructors) would be worse than keeping it.
}

using TPthreadCreate = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

TPthreadCreate RealPthreadCreate() {
  static TPthreadCreate real = reinterpret_cast<TPthreadCreate>(::dlsym(RTLD_NEXT, "pthread_create"));
  return real;
}

}  // namespace

void EnsureAltStack() {
  if (altStack) return;
  long page = ::sysconf(_SC_PAGESIZE);
  void* mapping =
      ::mmap(nullptr, kAltStackSize + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) return;
  ::mprotect(mapping, page, PROT_NONE);  // guard: a handler overflowing its stack faults, not corrupts
  stack_t ss{};
  ss.ss_sp = static_cast<char*>(mapping) + page;
  ss.ss_size = kAltStackSize;
  if (::sigaltstack(&ss, nullptr) != 0) {
    ::munmap(mapping, kAltStackSize + page);
    return;
  }
  altStack = mapping;
}

}  // namespace crashreport::detail

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*routine)(void*),
                              void* arg) noexcept {
  using namespace crashreport::detail;
  TPthreadCreate real = RealPthreadCreate();
  if (!real) return EAGAIN;
  auto* start = static_cast<TStart*>(std::malloc(sizeof(TStart)));
  if (!start) return real(thread, attr, routine, arg);
  *start = {routine, arg};
  int result = real(thread, attr, StartWithAltStack, start);
  if (result != 0) std::free(start);
  return result;
}
