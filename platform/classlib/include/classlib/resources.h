// Resources linked into the executable: stored layouts, the version block,
// the icon, the crash reporter's settings. They are registered by code that
// the build generates (cmake/EmbedResources.cmake) before main() runs, and
// looked up by name. Qt-free, so that code that starts before the class
// library (the crash reporter) can read them too.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace classlib {

struct TResourceEntry {
  const char* Name;
  const unsigned char* Data;
  std::size_t Size;
};

// Adds a table of resources; the table must live for the whole process.
// Returns true, so that generated code can call it from a static initializer.
// Not thread-safe: meant for static initialization only.
bool RegisterResources(const TResourceEntry* table, std::size_t count);

// The bytes of the resource called name, or nothing. Safe to call from any
// thread once main() has started; allocates nothing, so it may run inside a
// signal handler.
std::optional<std::string_view> FindResource(std::string_view name);

}  // namespace classlib
