// Contents (.hhc) and index (.hhk) files: "sitemap" HTML as help compilers
// and hand editors write it, with unquoted or half-quoted attribute values,
// upper- or lower-case tags and unclosed <LI>s. Read with a tolerant
// tokenizer; nothing here assumes well-formed markup.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace htmlhelp {

struct SitemapEntry {
  std::string name;                   // "Name" param, entities decoded, bytes as stored
  std::string local;                  // first "Local" param: a topic inside the book, may be empty
  int level = 0;                      // 0 for top-level entries, +1 per enclosing <UL>
  std::vector<std::string> keywords;  // "Keyword" params (key words an entry adds)
};

struct SitemapLimits {
  std::size_t max_entries = 100000;
  int max_level = 32;  // deeper nesting is flattened to this level
};

// Entries in document order. Malformed input yields the entries that could
// be recognised; never fails.
std::vector<SitemapEntry> parseSitemap(std::string_view html, const SitemapLimits& limits = {});

// Decodes &amp; &lt; &gt; &quot; &apos; &nbsp; and numeric references below 256
// (the text stays in the book's 8-bit code page); unknown ones stay as written.
std::string decodeEntities(std::string_view text);

}  // namespace htmlhelp
