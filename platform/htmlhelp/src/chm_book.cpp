#include "chm_book.h"

#include <algorithm>

namespace htmlhelp {
namespace {

std::uint32_t le32(std::string_view s, std::size_t at) {
  auto b = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + i])); };
  return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}
std::uint16_t le16(std::string_view s, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1])
                                                                            << 8);
}

// Text up to the first NUL, or to the end of `s`.
std::string cString(std::string_view s) { return std::string(s.substr(0, s.find('\0'))); }

bool endsWithNoCase(std::string_view s, std::string_view suffix) {
  if (s.size() < suffix.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    char c = s[s.size() - suffix.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

bool isHtml(std::string_view name) { return endsWithNoCase(name, ".htm") || endsWithNoCase(name, ".html"); }

}  // namespace

int codePageForLocale(std::uint32_t lcid) {
  switch (lcid & 0xffff) {  // exact ids first: languages split across scripts
    case 0x0404:
    case 0x0c04:
    case 0x1404:
      return 950;
    case 0x0804:
    case 0x1004:
      return 936;
    case 0x081a:
      return 1250;  // Serbian (Latin)
    case 0x0c1a:
      return 1251;  // Serbian (Cyrillic)
  }
  switch (lcid & 0x3ff) {  // primary language
    case 0x05:
    case 0x0e:
    case 0x15:
    case 0x18:
    case 0x1a:
    case 0x1b:
    case 0x1c:
    case 0x24:
      return 1250;
    case 0x02:
    case 0x19:
    case 0x22:
    case 0x23:
    case 0x2f:
      return 1251;
    case 0x08:
      return 1253;
    case 0x1f:
      return 1254;
    case 0x0d:
      return 1255;
    case 0x01:
    case 0x20:
    case 0x29:
      return 1256;
    case 0x25:
    case 0x26:
    case 0x27:
      return 1257;
    case 0x2a:
      return 1258;
    case 0x1e:
      return 874;
    case 0x11:
      return 932;
    case 0x12:
      return 949;
    default:
      return 1252;
  }
}

std::unique_ptr<ChmBook> ChmBook::open(const std::string& path, std::string* error) {
  auto file = ChmFile::open(path, error);
  return file ? std::make_unique<ChmBook>(std::move(file)) : nullptr;
}

std::unique_ptr<ChmBook> ChmBook::fromMemory(std::string_view bytes, std::string* error) {
  auto file = ChmFile::fromMemory(bytes, error);
  return file ? std::make_unique<ChmBook>(std::move(file)) : nullptr;
}

ChmBook::ChmBook(std::unique_ptr<ChmFile> file) : file_(std::move(file)) {
  readSystem();
  readContextTable();
  chooseFallbacks();
}

// #SYSTEM: a 32-bit version, then records of a 16-bit code, a 16-bit length
// and that many bytes. Codes used here: 0 contents file, 1 index file,
// 2 default topic, 3 title, 4 a structure starting with the locale id.
void ChmBook::readSystem() {
  std::optional<std::string> data = file_->read("/#SYSTEM");
  if (!data) return;
  std::string_view s(*data);
  std::size_t pos = 4;
  while (pos + 4 <= s.size()) {
    std::uint16_t code = le16(s, pos), len = le16(s, pos + 2);
    pos += 4;
    if (len > s.size() - pos) break;  // truncated record: keep what came before
    std::string_view rec = s.substr(pos, len);
    pos += len;
    switch (code) {
      case 0:
        contents_ = resolveTarget(cString(rec));
        break;
      case 1:
        index_ = resolveTarget(cString(rec));
        break;
      case 2:
        default_topic_ = resolveTarget(cString(rec));
        break;
      case 3:
        title_ = cString(rec);
        break;
      case 4:
        if (rec.size() >= 4 && le32(rec, 0) != 0) locale_ = le32(rec, 0);
        break;
      default:
        break;
    }
  }
  code_page_ = codePageForLocale(locale_);
}

// #IVB: a 32-bit byte length, then pairs of 32-bit context number and offset
// of a NUL-terminated target in #STRINGS, in no particular order. Both are
// kept as read: a request looks up one number, and a scan of the pairs costs
// less than building a table of thousands of targets first.
void ChmBook::readContextTable() {
  std::optional<std::string> ivb = file_->read("/#IVB");
  std::optional<std::string> strings = file_->read("/#STRINGS");
  if (!ivb || !strings || ivb->size() < 4) return;
  const std::size_t end = std::min<std::size_t>(ivb->size(), 4 + std::size_t{le32(*ivb, 0)});
  ivb->resize(end - (end - 4) % 8);  // whole pairs only
  ivb_ = std::move(*ivb);
  strings_ = std::move(*strings);
}

template <typename Visit>
void ChmBook::forEachContext(Visit&& visit) const {
  const std::string_view table(ivb_), text(strings_);
  for (std::size_t pos = 4; pos + 8 <= table.size(); pos += 8) {
    const std::uint32_t context = le32(table, pos), offset = le32(table, pos + 4);
    if (offset < text.size() && !visit(context, text.substr(offset))) return;
  }
}

void ChmBook::chooseFallbacks() {
  // Listing every object costs more than the rest of opening a large book:
  // only books whose system data lacks the contents or index pay for it.
  std::vector<std::string> names;
  if (contents_.empty() || index_.empty()) names = file_->objects();
  auto firstWith = [&](std::string_view suffix) {
    for (const std::string& n : names)
      if (endsWithNoCase(n, suffix)) return n;
    return std::string();
  };
  if (contents_.empty()) contents_ = firstWith(".hhc");
  if (index_.empty()) index_ = firstWith(".hhk");
  if (default_topic_.empty()) {
    for (const char* candidate : {"/index.htm", "/index.html", "/default.htm", "/default.html"})
      if (file_->contains(candidate)) {
        default_topic_ = file_->storedName(candidate);
        break;
      }
  }
  if (default_topic_.empty()) {
    for (const SitemapEntry& e : contents()) {
      default_topic_ = resolveTarget(e.local);
      if (!default_topic_.empty()) break;
    }
  }
  if (default_topic_.empty()) {
    std::vector<std::string> t = topics();
    if (!t.empty()) default_topic_ = t.front();
  }
}

std::optional<std::string> ChmBook::topicForContext(std::uint32_t context) const {
  std::optional<std::string> topic;
  forEachContext([&](std::uint32_t number, std::string_view target) {
    if (number != context) return true;
    topic = resolveTarget(cString(target));  // the first entry for a number counts
    return false;
  });
  if (topic && topic->empty()) return std::nullopt;
  return topic;
}

std::vector<std::uint32_t> ChmBook::contextNumbers() const {
  std::vector<std::uint32_t> out;
  forEachContext([&](std::uint32_t number, std::string_view) {
    out.push_back(number);
    return true;
  });
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

std::string ChmBook::resolveTarget(std::string_view target) const {
  if (std::size_t sep = target.find("::"); sep != std::string_view::npos) target.remove_prefix(sep + 2);
  if (target.empty()) return {};
  if (file_->contains(target)) return file_->storedName(target);
  // "topic.htm#part" / "topic.htm?x": the object is the part before.
  if (std::size_t cut = target.find_first_of("#?");
      cut != std::string_view::npos && cut > 0 && target[cut - 1] != '/')
    target = target.substr(0, cut);
  std::string path = normalizeObjectName(target);
  if (file_->contains(path)) return file_->storedName(path);
  // An absolute path of the building machine: try ever shorter tails.
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    std::string_view tail = std::string_view(path).substr(slash);
    if (tail.size() > 1 && file_->contains(tail)) return file_->storedName(tail);
  }
  return {};
}

std::vector<SitemapEntry> ChmBook::contents() const {
  if (contents_.empty()) return {};
  std::optional<std::string> html = file_->read(contents_);
  return html ? parseSitemap(*html) : std::vector<SitemapEntry>{};
}

std::vector<SitemapEntry> ChmBook::index() const {
  if (index_.empty()) return {};
  std::optional<std::string> html = file_->read(index_);
  return html ? parseSitemap(*html) : std::vector<SitemapEntry>{};
}

std::vector<std::string> ChmBook::topics() const {
  std::vector<std::string> out;
  for (std::string& n : file_->objects())
    if (isHtml(n)) out.push_back(std::move(n));
  return out;  // objects() is ordered by lower-case name
}

}  // namespace htmlhelp
