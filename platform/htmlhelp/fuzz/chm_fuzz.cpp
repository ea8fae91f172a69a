// libFuzzer target for the .chm reader: opens the input as a help book and
// walks everything the viewer would touch (system data, context table,
// contents, index, every object), and tokenizes the raw input as a sitemap.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "chm_book.h"
#include "sitemap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  (void)htmlhelp::parseSitemap(input);

  std::string error;
  auto book = htmlhelp::ChmBook::fromMemory(input, &error);
  if (!book) return 0;
  for (std::uint32_t context : book->contextNumbers()) (void)book->topicForContext(context);
  (void)book->topicForContext(100);
  (void)book->contents();
  (void)book->index();
  for (const std::string& name : book->file().objects()) (void)book->file().read(name);
  return 0;
}
