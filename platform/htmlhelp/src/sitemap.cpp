#include "sitemap.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>

namespace htmlhelp {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// `s` equals `lower_case` ignoring ASCII case.
bool is(std::string_view s, std::string_view lower_case) {
  if (s.size() != lower_case.size()) return false;
  for (std::size_t i = 0; i < s.size(); ++i)
    if (asciiLower(s[i]) != lower_case[i]) return false;
  return true;
}

// Views into the sitemap text: an index file of thousands of entries is read
// without a string allocation per tag or attribute.
struct Tag {
  std::string_view name;  // as written; end tags start with '/'
  std::vector<std::pair<std::string_view, std::string_view>> attributes;  // as written
  std::string_view attribute(std::string_view lower_key) const {
    for (const auto& [k, v] : attributes)
      if (is(k, lower_key)) return v;
    return {};
  }
};

// Reads the tag starting at html[pos] == '<' into `tag`; leaves pos after
// its '>'. Attribute values may be double-quoted, single-quoted, unquoted, or
// open a quote that is never closed (the value then runs to the end of the
// tag).
void readTag(std::string_view html, std::size_t& pos, Tag& tag) {
  tag.attributes.clear();
  std::size_t i = pos + 1;
  const std::size_t n = html.size();
  std::size_t start = i;
  if (i < n && html[i] == '/') ++i;
  while (i < n && (std::isalnum(static_cast<unsigned char>(html[i])) || html[i] == '!')) ++i;
  tag.name = html.substr(start, i - start);
  while (i < n && html[i] != '>') {
    if (isSpace(html[i]) || html[i] == '/') {
      ++i;
      continue;
    }
    std::size_t k = i;
    while (i < n && !isSpace(html[i]) && html[i] != '=' && html[i] != '>') ++i;
    std::string_view key = html.substr(k, i - k);
    while (i < n && isSpace(html[i])) ++i;
    std::string_view value;
    if (i < n && html[i] == '=') {
      ++i;
      while (i < n && isSpace(html[i])) ++i;
      if (i < n && (html[i] == '"' || html[i] == '\'')) {
        char quote = html[i++];
        std::size_t close = html.find(quote, i);
        std::size_t next_tag = html.find('<', i);
        if (close != std::string_view::npos && close < next_tag) {
          value = html.substr(i, close - i);
          i = close + 1;
        } else {  // unclosed quote: the value ends with the tag
          std::size_t tag_end = html.find('>', i);
          std::size_t end = tag_end == std::string_view::npos ? n : tag_end;
          value = html.substr(i, end - i);
          while (!value.empty() && isSpace(value.back())) value.remove_suffix(1);
          i = end;
        }
      } else {
        std::size_t v = i;
        while (i < n && !isSpace(html[i]) && html[i] != '>') ++i;
        value = html.substr(v, i - v);
      }
    }
    if (!key.empty()) tag.attributes.emplace_back(key, value);
  }
  pos = i < n ? i + 1 : n;
}

}  // namespace

std::string decodeEntities(std::string_view text) {
  if (text.find('&') == std::string_view::npos) return std::string(text);
  static constexpr std::pair<std::string_view, char> kNamed[] = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", '\xa0'}};
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      out.push_back(text[i]);
      continue;
    }
    std::size_t semi = text.find(';', i);
    if (semi == std::string_view::npos || semi - i > 8) {
      out.push_back('&');
      continue;
    }
    std::string_view ref = text.substr(i + 1, semi - i - 1);
    std::optional<char> c;
    if (ref.size() > 1 && ref[0] == '#') {
      unsigned value = 0;
      bool hex = ref[1] == 'x' || ref[1] == 'X';
      bool ok = ref.size() > (hex ? 2u : 1u);
      for (std::size_t k = hex ? 2 : 1; ok && k < ref.size(); ++k) {
        int d = std::isdigit(static_cast<unsigned char>(ref[k])) ? ref[k] - '0'
                : hex && std::isxdigit(static_cast<unsigned char>(ref[k]))
                    ? std::tolower(static_cast<unsigned char>(ref[k])) - 'a' + 10
                    : -1;
        ok = d >= 0 && value < 0x10000;
        value = value * (hex ? 16 : 10) + static_cast<unsigned>(d);
      }
      if (ok && value > 0 && value < 256) c = static_cast<char>(value);
    } else {
      for (const auto& [name, ch] : kNamed)
        if (is(ref, name)) c = ch;
    }
    if (!c) {
      out.push_back('&');
      continue;
    }
    out.push_back(*c);
    i = semi;
  }
  return out;
}

std::vector<SitemapEntry> parseSitemap(std::string_view html, const SitemapLimits& limits) {
  std::vector<SitemapEntry> entries;
  int depth = 0;  // open <UL>s
  std::optional<SitemapEntry> current;
  bool in_sitemap_object = false;

  auto finish = [&] {
    if (current && (!current->name.empty() || !current->local.empty()) && entries.size() < limits.max_entries)
      entries.push_back(std::move(*current));
    current.reset();
    in_sitemap_object = false;
  };

  Tag tag;
  std::size_t pos = 0;
  while (pos < html.size() && entries.size() < limits.max_entries) {
    std::size_t lt = html.find('<', pos);
    if (lt == std::string_view::npos) break;
    pos = lt;
    if (html.substr(pos, 4) == "<!--") {
      std::size_t end = html.find("-->", pos + 4);
      pos = end == std::string_view::npos ? html.size() : end + 3;
      continue;
    }
    readTag(html, pos, tag);
    if (is(tag.name, "ul")) {
      finish();
      ++depth;
    } else if (is(tag.name, "/ul")) {
      finish();
      if (depth > 0) --depth;
    } else if (is(tag.name, "li")) {
      finish();
    } else if (is(tag.name, "object")) {
      finish();
      if (is(tag.attribute("type"), "text/sitemap")) {
        in_sitemap_object = true;
        current.emplace();
        current->level = std::min(std::max(depth - 1, 0), limits.max_level);
      }
    } else if (is(tag.name, "/object")) {
      finish();
    } else if (is(tag.name, "param") && in_sitemap_object && current) {
      std::string_view key = tag.attribute("name");
      if (is(key, "name") && current->name.empty()) {
        current->name = decodeEntities(tag.attribute("value"));
      } else if (is(key, "local") && current->local.empty()) {
        current->local = decodeEntities(tag.attribute("value"));
      } else if (is(key, "keyword") && current->keywords.size() < 64) {
        current->keywords.push_back(decodeEntities(tag.attribute("value")));
      }
    }
  }
  finish();
  return entries;
}

}  // namespace htmlhelp
