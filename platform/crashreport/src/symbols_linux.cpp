#include <cxxabi.h>
#include <elfutils/libdwfl.h>
#include <gelf.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "crashreport/symbols.h"

namespace crashreport {
namespace {

char* debuginfoPath = nullptr;

// Separate debug files by build id in the local debug folders only.
// dwfl_standard_find_debuginfo would go on to debuginfod: it loads that
// client library (with libcurl and TLS, about half of a report's time in the
// helper) and, where DEBUGINFOD_URLS is set, asks servers on the network
// while the user waits for the box.
int FindLocalDebuginfo(Dwfl_Module* module, void** userdata, const char* name, Dwarf_Addr base,
                       const char* file, const char* debuglink, GElf_Word crc, char** debugFile) {
  return dwfl_build_id_find_debuginfo(module, userdata, name, base, file, debuglink, crc, debugFile);
}

const Dwfl_Callbacks kCallbacks = {
    dwfl_linux_proc_find_elf,
    FindLocalDebuginfo,
    nullptr,
    &debuginfoPath,
};

struct TDwflDeleter {
  void operator()(Dwfl* dwfl) const { dwfl_end(dwfl); }
};
using TDwfl = std::unique_ptr<Dwfl, TDwflDeleter>;

TDwfl Open(int pid) {
  TDwfl dwfl(dwfl_begin(&kCallbacks));
  if (!dwfl) return nullptr;
  dwfl_report_begin(dwfl.get());
  if (dwfl_linux_proc_report(dwfl.get(), pid) != 0 || dwfl_report_end(dwfl.get(), nullptr, nullptr) != 0)
    return nullptr;
  return dwfl;
}

std::string Demangle(const char* name) {
  if (!name) return {};
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> out(abi::__cxa_demangle(name, nullptr, nullptr, &status), std::free);
  return status == 0 && out ? out.get() : name;
}

std::string BaseName(const char* path) {
  if (!path) return {};
  std::string s(path);
  std::size_t slash = s.rfind('/');
  return slash == std::string::npos ? s : s.substr(slash + 1);
}

// Whether the module's own file holds line information. Source lines are
// read only from such modules: the program and what was built with it. A
// system library's lines would come from a separate debug file, which the
// distribution ships with compressed sections (libc6-dbg: 4 MB that libdw
// inflates whole, about 200 million instructions, the bulk of a report's
// cost), for frames that are not the program's code. Those frames keep the
// function names of their symbol tables.
bool CarriesLines(Dwfl_Module* module) {
  GElf_Addr bias = 0;
  Elf* elf = dwfl_module_getelf(module, &bias);
  std::size_t strings = 0;
  if (!elf || elf_getshdrstrndx(elf, &strings) != 0) return false;
  for (Elf_Scn* scn = elf_nextscn(elf, nullptr); scn; scn = elf_nextscn(elf, scn)) {
    GElf_Shdr header;
    if (!gelf_getshdr(scn, &header) || header.sh_type == SHT_NOBITS) continue;
    const char* name = elf_strptr(elf, strings, header.sh_name);
    if (name && std::strcmp(name, ".debug_line") == 0) return true;
  }
  return false;
}

TFrame Name(Dwfl* dwfl, std::uint64_t pc) {
  TFrame frame;
  frame.Pc = pc;
  Dwfl_Module* module = dwfl ? dwfl_addrmodule(dwfl, pc) : nullptr;
  if (!module) return frame;
  const char* mainFile = nullptr;
  const char* name =
      dwfl_module_info(module, nullptr, nullptr, nullptr, nullptr, nullptr, &mainFile, nullptr);
  frame.Module = BaseName(mainFile ? mainFile : name);
  GElf_Off offset = 0;
  GElf_Sym symbol;
  const char* function = dwfl_module_addrinfo(module, pc, &offset, &symbol, nullptr, nullptr, nullptr);
  frame.Function = Demangle(function);
  frame.Offset = offset;
  void** userdata = nullptr;
  dwfl_module_info(module, &userdata, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  // The module's user data caches CarriesLines: 1 yes, 2 no.
  if (userdata && !*userdata) *userdata = reinterpret_cast<void*>(CarriesLines(module) ? 1 : 2);
  bool lines = userdata ? *userdata == reinterpret_cast<void*>(1) : CarriesLines(module);
  if (!lines) return frame;
  if (Dwfl_Line* line = dwfl_module_getsrc(module, pc)) {
    int lineNo = 0;
    if (const char* file = dwfl_lineinfo(line, nullptr, &lineNo, nullptr, nullptr, nullptr)) {
      frame.File = file;
      frame.Line = lineNo;
    }
  }
  return frame;
}

struct TUnwindState {
  pid_t Tid;
  bool Given = false;
  const std::uint64_t* Regs;
  int MemFd;
};

pid_t NextThread(Dwfl*, void* arg, void** threadArg) {
  auto* state = static_cast<TUnwindState*>(arg);
  if (state->Given) return 0;
  state->Given = true;
  *threadArg = state;
  return state->Tid;
}

bool MemoryRead(Dwfl*, Dwarf_Addr address, Dwarf_Word* result, void* arg) {
  auto* state = static_cast<TUnwindState*>(arg);
  return ::pread(state->MemFd, result, sizeof *result, static_cast<off_t>(address)) == sizeof *result;
}

bool SetInitialRegisters(Dwfl_Thread* thread, void* threadArg) {
  auto* state = static_cast<TUnwindState*>(threadArg);
  Dwarf_Word regs[17];
  for (int i = 0; i < 17; ++i) regs[i] = state->Regs[i];
  dwfl_thread_state_register_pc(thread, regs[16]);
  return dwfl_thread_state_registers(thread, 0, 17, regs);
}

const Dwfl_Thread_Callbacks kThreadCallbacks = {NextThread,          nullptr, MemoryRead,
                                                SetInitialRegisters, nullptr, nullptr};

struct TCollect {
  std::vector<std::uint64_t> Pcs;  // already moved back into the call for return addresses
  int Max;
};

int OnFrame(Dwfl_Frame* frame, void* arg) {
  auto* collect = static_cast<TCollect*>(arg);
  Dwarf_Addr pc = 0;
  bool activation = false;
  if (!dwfl_frame_pc(frame, &pc, &activation)) return DWARF_CB_ABORT;
  // An activation (the faulting frame, a signal frame) is at its instruction;
  // the others are return addresses, whose call is one byte back.
  collect->Pcs.push_back(activation || pc == 0 ? pc : pc - 1);
  return static_cast<int>(collect->Pcs.size()) >= collect->Max ? DWARF_CB_ABORT : DWARF_CB_OK;
}

}  // namespace

std::vector<TFrame> Symbolize(int pid, std::span<const std::uint64_t> pcs, std::uint64_t exactPc) {
  TDwfl dwfl = Open(pid);
  std::vector<TFrame> frames;
  frames.reserve(pcs.size());
  for (std::uint64_t pc : pcs) frames.push_back(Name(dwfl.get(), pc == exactPc || pc == 0 ? pc : pc - 1));
  return frames;
}

std::vector<TFrame> UnwindThread(int pid, int tid, std::span<const std::uint64_t, 17> regs, int memFd,
                                 int maxFrames) {
  TDwfl dwfl = Open(pid);
  if (!dwfl) return Symbolize(pid, std::span<const std::uint64_t>(&regs[16], 1), regs[16]);
  TUnwindState state{tid, false, regs.data(), memFd};
  TCollect collect{{}, maxFrames};
  if (dwfl_attach_state(dwfl.get(), nullptr, pid, &kThreadCallbacks, &state))
    dwfl_getthread_frames(dwfl.get(), tid, OnFrame, &collect);
  if (collect.Pcs.empty()) collect.Pcs.push_back(regs[16]);
  std::vector<TFrame> frames;
  for (std::uint64_t pc : collect.Pcs) frames.push_back(Name(dwfl.get(), pc));
  return frames;
}

std::string FormatFrames(const std::vector<TFrame>& frames) {
  std::string out;
  char line[64];
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const TFrame& f = frames[i];
    std::snprintf(line, sizeof line, " #%-2zu 0x%016" PRIx64 " ", i, f.Pc);
    out += line;
    out += f.Module.empty() ? "?" : f.Module;
    out += "  ";
    if (f.Function.empty()) {
      out += "??";
    } else {
      out += f.Function;
      std::snprintf(line, sizeof line, "+0x%" PRIx64, f.Offset);
      out += line;
    }
    if (!f.File.empty()) out += "  " + f.File + ":" + std::to_string(f.Line);
    out += '\n';
  }
  return out;
}

}  // namespace crashreport
