// Modules with an initialization and a finalization, run in a fixed order:
// the program lists its modules in dependency order, RunUnits() initializes
// them in that order, and finalization runs in the reverse order when the
// returned guard goes away or the process exits normally, whichever comes
// first. Qt-free.
#pragma once

#include <cstddef>

namespace classlib {

struct TUnit {
  const char* Name;
  void (*Initialize)();  // may be nullptr
  void (*Finalize)();    // may be nullptr
};

// Keeps the process's command line for modules that need it (the toolkit does).
int ArgCount();
char** ArgValues();

class TUnitsGuard {
 public:
  TUnitsGuard() = default;
  TUnitsGuard(const TUnitsGuard&) = delete;
  TUnitsGuard& operator=(const TUnitsGuard&) = delete;
  ~TUnitsGuard();  // finalizes, in reverse order, the units not yet finalized
};

// Initializes units[0..count) in order and records argc/argv. The table must
// outlive the process. A unit's initialization that throws is not caught
// here: nothing can run without its modules. Finalization also runs from
// std::exit(), so that ending the program from anywhere still takes the
// modules down in order.
[[nodiscard]] TUnitsGuard RunUnits(const TUnit* units, std::size_t count, int argc, char** argv);

// Finalizes the initialized units in reverse order, once. Called by the guard
// and at exit; exposed for code that ends the process itself.
void FinalizeUnits() noexcept;

}  // namespace classlib
