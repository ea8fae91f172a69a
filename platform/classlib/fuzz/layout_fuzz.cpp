// libFuzzer target for the stored-layout parser: any bytes must give either a
// layout or an ELayoutError, never a crash, hang or read outside the input.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "classlib/layout_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    classlib::ParseLayout(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz");
  } catch (const classlib::ELayoutError&) {
  }
  return 0;
}
