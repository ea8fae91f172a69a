// A help book: a .chm file plus what its system data says about it (title,
// contents and index files, default topic, locale) and its context table.
// Qt-free, like ChmFile.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chm_file.h"
#include "sitemap.h"

namespace htmlhelp {

class ChmBook {
 public:
  // Opens and reads the book; null with a reason in `error` when the file is
  // missing or damaged. A book whose system data or context table is damaged
  // still opens, with the fallbacks below.
  static std::unique_ptr<ChmBook> open(const std::string& path, std::string* error);
  static std::unique_ptr<ChmBook> fromMemory(std::string_view bytes, std::string* error);
  explicit ChmBook(std::unique_ptr<ChmFile> file);

  const ChmFile& file() const { return *file_; }

  const std::string& title() const { return title_; }
  // Object names inside the file ("/x.hhc"), or empty when the book has none.
  // Taken from the system data; else the first .hhc / .hhk in the file.
  const std::string& contentsFile() const { return contents_; }
  const std::string& indexFile() const { return index_; }
  // The default topic, an existing object: the system data's, else
  // "/index.htm(l)" or "/default.htm(l)", else the first topic of the
  // contents, else the first HTML object. Empty only for a book without topics.
  const std::string& defaultTopic() const { return default_topic_; }
  std::uint32_t locale() const { return locale_; }
  // The Windows code page for the book's locale (1252 when unknown).
  int codePage() const { return code_page_; }

  // The topic mapped to a context number, as an object name inside the file,
  // or nullopt when the number is not in the table or names no object.
  std::optional<std::string> topicForContext(std::uint32_t context) const;
  // Context numbers in the table, sorted, each once (for tests and tools).
  std::vector<std::uint32_t> contextNumbers() const;

  // Turns a stored target into an object name inside the file, or "" when
  // none matches. Accepts "topic.htm", "/topic.htm", "topic.htm#part",
  // "mk:@MSITStore:book.chm::/topic.htm", and absolute paths of the machine
  // that built the book ("/tmp/x/topic.htm", "C:\help\topic.htm"), which
  // resolve to the longest trailing part that names an object.
  std::string resolveTarget(std::string_view target) const;

  // Parsed contents / index (empty when the book has none).
  std::vector<SitemapEntry> contents() const;
  std::vector<SitemapEntry> index() const;
  // HTML objects (.htm, .html), sorted by name.
  std::vector<std::string> topics() const;

 private:
  void readSystem();
  void readContextTable();
  void chooseFallbacks();

  std::unique_ptr<ChmFile> file_;
  std::string title_, contents_, index_, default_topic_;
  std::uint32_t locale_ = 0x409;
  int code_page_ = 1252;
  // Calls visit(number, target as stored) for each context entry in file
  // order, until it returns false.
  template <typename Visit>
  void forEachContext(Visit&& visit) const;

  std::string ivb_, strings_;  // the context table and its targets, as read
};

// The Windows ANSI code page of a locale id (1252 for unknown ones).
int codePageForLocale(std::uint32_t lcid);

}  // namespace htmlhelp
