#include "classlib/units.h"

#include <cstdlib>

namespace classlib {
namespace {

const TUnit* units = nullptr;
std::size_t initialized = 0;  // units[0..initialized) are up
int argCount = 0;
char** argValues = nullptr;
bool atExitRegistered = false;

}  // namespace

int ArgCount() { return argCount; }
char** ArgValues() { return argValues; }

TUnitsGuard RunUnits(const TUnit* table, std::size_t count, int argc, char** argv) {
  units = table;
  initialized = 0;
  argCount = argc;
  argValues = argv;
  if (!atExitRegistered) {
    std::atexit(FinalizeUnits);
    atExitRegistered = true;
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (table[i].Initialize) table[i].Initialize();
    initialized = i + 1;
  }
  return TUnitsGuard();
}

void FinalizeUnits() noexcept {
  // Count down one unit at a time, so a finalization that ends the process
  // does not run again from the exit handler.
  while (initialized > 0) {
    const TUnit& unit = units[--initialized];
    if (unit.Finalize) unit.Finalize();
  }
}

TUnitsGuard::~TUnitsGuard() { FinalizeUnits(); }

}  // namespace classlib
