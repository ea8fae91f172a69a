// Call stacks with function names, source files and lines, read with
// elfutils' libdwfl from a process's modules and their debug information.
// Qt-free. Nothing here is async-signal-safe: it allocates and reads files.
// The crash helper calls it on the crashed process from outside; the
// reporter calls it on its own process for exceptions, which is safe because
// an exception leaves the heap intact.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace crashreport {

struct TFrame {
  std::uint64_t Pc =
      0;               // the instruction the frame is at (return addresses already moved back into the call)
  std::string Module;  // file name of the module, "" when no module holds Pc
  std::string Function;      // demangled, "" when unknown
  std::uint64_t Offset = 0;  // Pc minus the function's start
  std::string File;          // source file, "" without line information
  int Line = 0;
};

// Names the code addresses pcs of process pid (getpid() for this process).
// pcs are return addresses, looked up one byte back so that the line is the
// call's, except exactPc, which is a faulting instruction and looked up as
// is. Addresses that no module holds keep empty names. Never throws; when the
// process's modules cannot be read, every frame keeps only its Pc.
std::vector<TFrame> Symbolize(int pid, std::span<const std::uint64_t> pcs, std::uint64_t exactPc = 0);

// Unwinds thread tid of process pid starting from regs (x86-64 DWARF order:
// rax rdx rcx rbx rsi rdi rbp rsp r8..r15 rip), reading the process's memory
// through memFd (an open /proc/<pid>/mem), and names the frames. The thread
// must not run meanwhile (the crashed thread waits in its fault handler). At
// most maxFrames frames; on an unwinding error the frames found so far.
std::vector<TFrame> UnwindThread(int pid, int tid, std::span<const std::uint64_t, 17> regs, int memFd,
                                 int maxFrames = 128);

// One line per frame: " #3 0x000055d0c0ffee12 Quorvik  TForm1::Button1Click()+0x1c  uquorvik.cpp:31".
std::string FormatFrames(const std::vector<TFrame>& frames);

}  // namespace crashreport
