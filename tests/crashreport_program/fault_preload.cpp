// A fault from outside the program, for the real-window tests: loaded with
// LD_PRELOAD into the unchanged Quorvik, it stands in for
// QTreeWidgetItem::setFlags, which the list calls for every row when its
// check boxes are switched (the main window's rbCheckboxesClick). Calls go on
// to Qt's own function until the test arms the fault:
//
//   QUORVIK_TEST_FAULT      "null" (a write through a null pointer) or
//                           "throw" (a std::runtime_error)
//   QUORVIK_TEST_FAULT_ARM  a file; the first call after it appears fails
//                           and removes it, so each arming fails one call
//
// Built with -fnon-call-exceptions, so the crash reporter's fault handler can
// unwind through this frame like through the program's own.
#include <dlfcn.h>
#include <unistd.h>

#include <QTreeWidgetItem>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

using TSetFlags = void (*)(QTreeWidgetItem*, Qt::ItemFlags);

TSetFlags RealSetFlags() {
  static auto real = reinterpret_cast<TSetFlags>(
      ::dlsym(RTLD_NEXT, "_ZN15QTreeWidgetItem8setFlagsE6QFlagsIN2Qt8ItemFlagEE"));
  if (!real) {
    std::fprintf(stderr, "fault_preload: QTreeWidgetItem::setFlags not found: %s\n", ::dlerror());
    std::abort();
  }
  return real;
}

// True once per arming.
bool Armed() {
  const char* arm = std::getenv("QUORVIK_TEST_FAULT_ARM");
  return arm && ::unlink(arm) == 0;
}

volatile int* volatile nullPointer = nullptr;

}  // namespace

void QTreeWidgetItem::setFlags(Qt::ItemFlags flags) {
  if (Armed()) {
    const char* kind = std::getenv("QUORVIK_TEST_FAULT");
    if (kind && std::string(kind) == "throw")
      throw std::runtime_error("setFlags refused by the test's fault library");
    *nullPointer = 1;
  }
  RealSetFlags()(this, flags);
}
