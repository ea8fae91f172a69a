// Errors the crash reporter raises itself: a hardware fault on the main
// thread inside an event handler becomes one of these, thrown from the fault
// handler, so that it reaches the dispatch point's catch like any exception
// and the program can go on. Qt-free.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace crashreport {

// A fault turned into an exception. Address is the data address the fault
// concerns (si_addr), Pc the faulting instruction.
class EFault : public std::runtime_error {
 public:
  EFault(const std::string& message, int signal, std::uintptr_t address, std::uintptr_t pc)
      : std::runtime_error(message), FSignal(signal), FAddress(address), FPc(pc) {}
  int Signal() const { return FSignal; }
  std::uintptr_t Address() const { return FAddress; }
  std::uintptr_t Pc() const { return FPc; }

 private:
  int FSignal;
  std::uintptr_t FAddress;
  std::uintptr_t FPc;
};

// SIGSEGV or SIGBUS: memory that cannot be read or written.
class EAccessViolation : public EFault {
 public:
  using EFault::EFault;
};

// SIGFPE: integer division by zero or overflow.
class EDivByZero : public EFault {
 public:
  using EFault::EFault;
};

// SIGILL: an instruction the processor refuses.
class EIllegalInstruction : public EFault {
 public:
  using EFault::EFault;
};

}  // namespace crashreport
