#include <cxxabi.h>

#include <cstdlib>
#include <memory>

#include "classlib/exceptions.h"

namespace classlib {

std::string ClassNameOf(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(
      abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
  std::string name = status == 0 && demangled ? demangled.get() : type.name();
  // Drop namespaces, but not inside template arguments.
  std::size_t cut = 0, depth = 0;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '<') ++depth;
    if (name[i] == '>' && depth) --depth;
    if (depth == 0 && name.compare(i, 2, "::") == 0) cut = i + 2;
  }
  return name.substr(cut);
}

}  // namespace classlib
