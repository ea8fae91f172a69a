#include "classlib/resources.h"

#include <array>

namespace classlib {
namespace {

// A fixed table rather than a container: registration happens during static
// initialization in an order we do not control, and lookups must not allocate.
struct TTables {
  std::array<const TResourceEntry*, 16> Table{};
  std::array<std::size_t, 16> Count{};
  std::size_t Used = 0;
};

TTables& Tables() {
  static TTables tables;  // constant-initialised, safe in any initialisation order
  return tables;
}

}  // namespace

bool RegisterResources(const TResourceEntry* table, std::size_t count) {
  TTables& t = Tables();
  if (t.Used == t.Table.size()) return false;
  t.Table[t.Used] = table;
  t.Count[t.Used] = count;
  ++t.Used;
  return true;
}

std::optional<std::string_view> FindResource(std::string_view name) {
  const TTables& t = Tables();
  for (std::size_t i = 0; i < t.Used; ++i)
    for (std::size_t j = 0; j < t.Count[i]; ++j)
      if (name == t.Table[i][j].Name)
        return std::string_view(reinterpret_cast<const char*>(t.Table[i][j].Data), t.Table[i][j].Size);
  return std::nullopt;
}

}  // namespace classlib
