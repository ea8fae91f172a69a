// Where C++ exceptions were thrown: the executable's __cxa_throw (see
// throw_site_linux.cpp) records the call stack of every throw in per-thread
// storage, so that a report shows the throw site, not the catch. Internal.
#pragma once

#include <cstdint>
#include <exception>

namespace crashreport::detail {

inline constexpr int kThrowFrames = 64;

struct TThrowSite {
  const void* Object = nullptr;  // the thrown object
  int Count = 0;
  std::uintptr_t Pcs[kThrowFrames] = {};  // return addresses, innermost first
  std::uintptr_t FaultPc = 0;             // set when a fault was turned into this exception
};

// The throw site recorded on this thread for the exception error holds, or
// nullptr when none was recorded (thrown on another thread, or before the
// crash reporter started). The record's frames start at the throwing
// function: the capture's own frames are dropped.
const TThrowSite* FindThrowSite(const std::exception_ptr& error);

// The fault handler calls this just before it throws, so that the stack of
// the resulting exception starts at the faulting instruction.
void NoteFaultPc(std::uintptr_t pc);

// Loads what the first capture would load (the unwinder library), so that a
// capture in a fault handler does not have to.
void WarmUpThrowCapture();

}  // namespace crashreport::detail
