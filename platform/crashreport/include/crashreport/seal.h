// The executable's build seal: a 24-byte trailer the build appends to the
// program file ("QVSEAL02", the length of the file before the trailer, and a
// 64-bit hash of those bytes, both little-endian). At start the crash
// reporter recomputes the hash; a mismatch means the file is corrupt. The
// loader ignores bytes after the ELF's last section, so the trailer changes
// nothing else. Qt-free; not async-signal-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace crashreport {

enum class TSealState { Ok, NotSealed, Corrupt, Unreadable };

// Checks the file at path. NotSealed: no trailer (a build without the seal
// step, such as a test program). Corrupt: the trailer is there and the
// content does not match it, or the file is shorter than it says.
TSealState CheckSeal(const std::string& path);

// Appends the trailer to the file at path, replacing one that is there.
// Returns false with *error set (naming the file and the system's reason).
bool SealFile(const std::string& path, std::string* error);

// The hash the trailer holds, over data.
std::uint64_t SealHash(std::string_view data);

// True when the executable was built with crashreport_seal_executable(): the
// build links a definition of the marker the crash reporter looks for, so
// that a sealed program with its trailer cut off is refused too.
bool SealRequired();

}  // namespace crashreport
