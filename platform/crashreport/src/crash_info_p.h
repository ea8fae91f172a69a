// What the crashed process leaves for the crash helper: one record in static
// memory, filled by the fatal-signal handler (and, for an uncaught exception,
// by the terminate handler before it aborts), read by the helper from outside
// through /proc/<pid>/mem. Plain data of fixed size and layout, so that both
// sides agree without sharing anything but this header.
#pragma once

#include <cstdint>

namespace crashreport::detail {

inline constexpr char kCrashInfoMagic[8] = {'Q', 'V', 'C', 'R', 'A', 'S', 'H', '1'};
inline constexpr int kMaxThrowFrames = 64;
inline constexpr int kDwarfRegs = 17;  // x86-64: rax..r15 in DWARF order, then rip

struct TCrashInfo {
  char Magic[8];
  std::int32_t Pid;
  std::int32_t Tid;
  std::int32_t MainThread;  // 1 when Tid is the process's main thread
  std::int32_t Signal;
  std::int32_t Code;  // si_code
  std::int32_t StackOverflow;
  std::uint64_t FaultAddress;
  std::int32_t HaveRegs;
  std::uint64_t Regs[kDwarfRegs];
  // Filled before a crash: the executable's version from its version block.
  char Version[64];
  // Filled by the terminate handler for an uncaught C++ exception.
  std::int32_t HaveException;
  char ErrorClass[128];
  char Message[1024];
  std::int32_t ThrowCount;
  std::uint64_t ThrowPcs[kMaxThrowFrames];
  char ThreadName[32];
};

// The record of this process; its address goes to the helper in argv.
TCrashInfo& CrashInfo();

// Copies text into a fixed buffer, cutting and terminating it.
// Async-signal-safe.
void CopyText(char* to, std::size_t size, const char* text);

}  // namespace crashreport::detail
