// The .chm reader on the project's built books and on damaged copies of them.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "chm_book.h"
#include "chm_file.h"
#include "sitemap.h"

namespace htmlhelp {
namespace {

std::string bookPath(const char* name) { return std::string(QUORVIK_HELP_DIR) + "/" + name; }

std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ChmBook, Context100OpensTheMainWindowTopic) {
  std::string error;
  auto book = ChmBook::open(bookPath("Quorvik.chm"), &error);
  ASSERT_TRUE(book) << error;
  auto topic = book->topicForContext(100);
  ASSERT_TRUE(topic);
  EXPECT_EQ(*topic, "/main_window.htm");
  auto html = book->file().read(*topic);
  ASSERT_TRUE(html);
  EXPECT_NE(html->find("<title>The Quorvik window</title>"), std::string::npos);
  EXPECT_FALSE(book->topicForContext(101));
}

TEST(ChmBook, SystemDataOfBothBooks) {
  struct Case {
    const char* file;
    const char* title;
    const char* contents;
    const char* index;
    const char* default_topic;
  } cases[] = {
      {"Quorvik.chm", "Quorvik Help", "/Quorvik.hhc", "/Quorvik.hhk", "/welcome.htm"},
      {"VIEWHLP.CHM", "Using the Help Viewer", "/viewhlp.hhc", "/viewhlp.hhk", "/overview.htm"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::string error;
    auto book = ChmBook::open(bookPath(c.file), &error);
    ASSERT_TRUE(book) << error;
    EXPECT_EQ(book->title(), c.title);
    EXPECT_EQ(book->contentsFile(), c.contents);
    EXPECT_EQ(book->indexFile(), c.index);
    EXPECT_EQ(book->defaultTopic(), c.default_topic);
    EXPECT_EQ(book->locale(), 0x409u);
    EXPECT_EQ(book->codePage(), 1252);
    // Every contents and index entry names a topic inside the book.
    for (const auto& e : book->contents()) {
      if (!e.local.empty()) {
        EXPECT_NE(book->resolveTarget(e.local), "") << e.local;
      }
    }
    auto index = book->index();
    EXPECT_GT(index.size(), 10u);
    for (const auto& e : index) {
      EXPECT_NE(book->resolveTarget(e.local), "") << e.name;
    }
  }
}

TEST(ChmBook, ContentsNesting) {
  auto book = ChmBook::open(bookPath("Quorvik.chm"), nullptr);
  ASSERT_TRUE(book);
  auto toc = book->contents();
  ASSERT_EQ(toc.size(), 7u);
  EXPECT_EQ(toc[1].name, "Using Quorvik");  // heading without a topic
  EXPECT_EQ(toc[1].local, "");
  EXPECT_EQ(toc[1].level, 0);
  EXPECT_EQ(toc[2].name, "The Quorvik window");
  EXPECT_EQ(toc[2].level, 1);
  EXPECT_EQ(toc[5].level, 0);
}

TEST(ChmBook, ResolvesStoredTargetForms) {
  auto book = ChmBook::open(bookPath("Quorvik.chm"), nullptr);
  ASSERT_TRUE(book);
  const std::pair<const char*, const char*> cases[] = {
      {"main_window.htm", "/main_window.htm"},
      {"/MAIN_WINDOW.HTM", "/main_window.htm"},
      {"/tmp/build/help/main_window.htm", "/main_window.htm"},
      {"C:\\Build\\help\\main_window.htm", "/main_window.htm"},
      {"mk:@MSITStore:Quorvik.chm::/errors.htm#report", "/errors.htm"},
      {"ms-its:Quorvik.chm::/dragging.htm", "/dragging.htm"},
      {"/tmp/nothing.htm", ""},
      {"", ""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(book->resolveTarget(in), out) << in;
}

TEST(Sitemap, TolerantOfLooseMarkup) {
  const char* html = R"(<html><body><ul>
    <LI><OBJECT type=text/sitemap>
      <param name=Name value=Unquoted>
      <param name=Local value=a.htm>
    </OBJECT>
    <li> <object TYPE='text/sitemap'><PARAM NAME='Name' VALUE='Single &amp; quoted'><param name="Local" value="b.htm#x"></object>
    <UL>
      <li><object type="text/sitemap"><param name="Name" value="Never closed><param name="Local" value="c.htm"></object>
      <li><object type="text/sitemap"><param name="Name" value="Keyworded"><param name="Keyword" value="k1"><param name="Keyword" value="k2">
    </UL>
    <!-- <li><object type="text/sitemap"><param name="Name" value="commented out"></object> -->
    <li><object type="text/site properties"><param name="Name" value="not an entry"></object>
    <li><object type="text/sitemap"><param name="Name" value="After &#233;"><param name="Local" value="d.htm">
  )";
  auto entries = parseSitemap(html);
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].name, "Unquoted");
  EXPECT_EQ(entries[0].local, "a.htm");
  EXPECT_EQ(entries[1].name, "Single & quoted");
  EXPECT_EQ(entries[1].local, "b.htm#x");
  EXPECT_EQ(entries[2].name, "Never closed");
  EXPECT_EQ(entries[2].local, "c.htm");
  EXPECT_EQ(entries[2].level, 1);
  EXPECT_EQ(entries[3].keywords, (std::vector<std::string>{"k1", "k2"}));
  EXPECT_EQ(entries[4].name, "After \xe9");
  EXPECT_EQ(entries[4].level, 0);
}

TEST(Sitemap, CapsDepthAndCount) {
  std::string deep;
  for (int i = 0; i < 1000; ++i) deep += "<ul>";
  deep += R"(<li><object type="text/sitemap"><param name="Name" value="deep"></object>)";
  auto entries = parseSitemap(deep);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].level, SitemapLimits{}.max_level);

  std::string many;
  for (int i = 0; i < 50; ++i) many += R"(<object type="text/sitemap"><param name="Name" value="x">)";
  EXPECT_EQ(parseSitemap(many, SitemapLimits{10, 4}).size(), 10u);
}

// Damaged copies of the real book: each must give an error or a book whose
// reads fail cleanly, never a crash or a read outside the bytes.
TEST(ChmFile, DamagedInputs) {
  const std::string good = readBytes(bookPath("Quorvik.chm"));
  ASSERT_GT(good.size(), 0x1000u);
  auto put32 = [](std::string s, std::size_t at, std::uint32_t v) {
    std::memcpy(&s[at], &v, 4);
    return s;
  };
  struct Case {
    const char* what;
    std::string bytes;
    bool may_open;
  } cases[] = {
      {"empty", "", false},
      {"signature only", "ITSF", false},
      {"truncated header", good.substr(0, 0x50), false},
      {"truncated directory", good.substr(0, 0x400), false},
      {"truncated content", good.substr(0, good.size() / 2), true},
      {"zeroed header", std::string(0x60, '\0') + good.substr(0x60), false},
      {"garbage directory", good.substr(0, 0xe0) + std::string(0x1000, '\xa5') + good.substr(0x10e0), true},
      {"huge chunk count", put32(good, 0x78 + 0x2c, 0xffffffffu), false},
      {"huge chunk size", put32(good, 0x78 + 0x10, 0x7fffffffu), false},
      {"content offset past end", put32(good, 0x58, 0x7fffffffu), false},
      {"zeroed compressed content", good.substr(0, 0x1200) + std::string(good.size() - 0x1200, '\0'), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    auto book = ChmBook::fromMemory(c.bytes, &error);
    if (!book) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    EXPECT_TRUE(c.may_open);
    for (const std::string& name : book->file().objects()) (void)book->file().read(name);
    (void)book->topicForContext(100);
    (void)book->contents();
  }
}

// chmcmd writes "first listing chunk = 1" into books with several listing
// chunks; libmspack then silently skips chunk 0 (and #SYSTEM with it).
TEST(ChmFile, RepairsTheFirstListingChunkField) {
  const std::uint32_t chunk_size = 0x100, itsp = 0x78, chunks = itsp + 0x54;
  auto make = [&](std::uint32_t first, std::uint32_t prev0, std::uint32_t prev1, std::uint32_t prev2) {
    std::string b(chunks + 3 * chunk_size, '\0');
    auto put = [&](std::size_t at, std::uint32_t v) { std::memcpy(&b[at], &v, 4); };
    b.replace(0, 4, "ITSF");
    put(0x48, itsp);
    b.replace(itsp, 4, "ITSP");
    put(itsp + 0x08, 0x54);
    put(itsp + 0x10, chunk_size);
    put(itsp + 0x20, first);
    put(itsp + 0x2c, 3);
    const std::uint32_t prevs[] = {prev0, prev1, prev2};
    for (std::uint32_t i = 0; i < 3; ++i) {
      b.replace(chunks + i * chunk_size, 4, "PMGL");
      put(chunks + i * chunk_size + 0x0c, prevs[i]);
    }
    return b;
  };
  auto firstAfterRepair = [](std::string b) {
    repairCompilerFaults(b);
    std::uint32_t v;
    std::memcpy(&v, &b[0x78 + 0x20], 4);
    return v;
  };
  EXPECT_EQ(firstAfterRepair(make(1, 0xffffffffu, 0, 1)), 0u);  // chain 0 -> 1 -> 2
  EXPECT_EQ(firstAfterRepair(make(2, 0xffffffffu, 0, 1)), 0u);
  EXPECT_EQ(firstAfterRepair(make(0, 0xffffffffu, 0, 1)), 0u);
  EXPECT_EQ(firstAfterRepair(make(2, 1, 0, 1)), 2u);            // a cycle: left alone, and no hang
  EXPECT_EQ(firstAfterRepair(make(1, 0xffffffffu, 7, 1)), 1u);  // prev out of range: left alone
  std::string truncated = make(1, 0xffffffffu, 0, 1).substr(0, 0x200);
  EXPECT_EQ(firstAfterRepair(truncated), 1u);
}

// Reads cut from cached reset intervals give the bytes libmspack extracts for
// each object on its own, in any order (backwards, jumping far ahead, across
// interval ends), also when the cache is too small to keep much.
TEST(ChmFile, CachedReadsMatchDirectExtraction) {
  ChmLimits direct;
  direct.max_cache_bytes = 0;
  ChmLimits tiny;
  tiny.max_cache_bytes = 2 * 0x10000;  // two reset intervals of the books here
  for (const std::string& path : {bookPath("Quorvik.chm"), std::string(QUORVIK_BIG_BOOK)}) {
    SCOPED_TRACE(path);
    auto reference = ChmFile::open(path, nullptr, direct);
    ASSERT_TRUE(reference);
    std::vector<std::string> names = reference->objects();
    ASSERT_GT(names.size(), 10u);
    // Alternate between the far end and the start of the list.
    std::vector<std::string> order;
    for (std::size_t lo = 0, hi = names.size(); lo < hi;) {
      order.push_back(names[--hi]);
      if (lo < hi) order.push_back(names[lo++]);
    }
    for (const ChmLimits& limits : {ChmLimits{}, tiny}) {
      auto cached = ChmFile::open(path, nullptr, limits);
      ASSERT_TRUE(cached);
      for (const std::string& name : order) {
        auto expected = reference->read(name);
        ASSERT_TRUE(expected) << name;
        EXPECT_EQ(cached->read(name), expected) << name;
      }
    }
  }
}

TEST(ChmFile, MissingFileNamesTheReason) {
  std::string error;
  EXPECT_FALSE(ChmFile::open(bookPath("no-such-book.chm"), &error));
  EXPECT_EQ(error, std::strerror(ENOENT));
}

}  // namespace
}  // namespace htmlhelp
