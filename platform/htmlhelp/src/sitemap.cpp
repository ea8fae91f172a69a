#include "sitemap.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>

namespace htmlhelp {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

struct Tag {
  std::string name;                                             // lower case, with a leading '/' for end tags
  std::vector<std::pair<std::string, std::string>> attributes;  // names lower case
  std::string_view attribute(std::string_view key) const {
    for (const auto& [k, v] : attributes)
      if (k == key) return v;
    return {};
  }
};

// Reads the tag starting at html[pos] == '<'; leaves pos after its '>'.
// Attribute values may be double-quoted, single-quoted, unquoted, or open a
// quote that is never closed (the value then runs to the end of the tag).
Tag readTag(std::string_view html, std::size_t& pos) {
  Tag tag;
  std::size_t i = pos + 1;
  const std::size_t n = html.size();
  std::size_t start = i;
  if (i < n && html[i] == '/') ++i;
  while (i < n && (std::isalnum(static_cast<unsigned char>(html[i])) || html[i] == '!')) ++i;
  tag.name = lower(html.substr(start, i - start));
  while (i < n && html[i] != '>') {
    if (isSpace(html[i]) || html[i] == '/') {
      ++i;
      continue;
    }
    std::size_t k = i;
    while (i < n && !isSpace(html[i]) && html[i] != '=' && html[i] != '>') ++i;
    std::string key = lower(html.substr(k, i - k));
    while (i < n && isSpace(html[i])) ++i;
    std::string value;
    if (i < n && html[i] == '=') {
      ++i;
      while (i < n && isSpace(html[i])) ++i;
      if (i < n && (html[i] == '"' || html[i] == '\'')) {
        char quote = html[i++];
        std::size_t close = html.find(quote, i);
        std::size_t tag_end = html.find('>', i);
        std::size_t next_tag = html.find('<', i);
        if (close != std::string_view::npos && close < next_tag) {
          value = html.substr(i, close - i);
          i = close + 1;
        } else {  // unclosed quote: the value ends with the tag
          std::size_t end = tag_end == std::string_view::npos ? n : tag_end;
          value = html.substr(i, end - i);
          while (!value.empty() && isSpace(value.back())) value.pop_back();
          i = end;
        }
      } else {
        std::size_t v = i;
        while (i < n && !isSpace(html[i]) && html[i] != '>') ++i;
        value = html.substr(v, i - v);
      }
    }
    if (!key.empty()) tag.attributes.emplace_back(std::move(key), std::move(value));
  }
  pos = i < n ? i + 1 : n;
  return tag;
}

}  // namespace

std::string decodeEntities(std::string_view text) {
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
        if (lower(ref) == name) c = ch;
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
    Tag tag = readTag(html, pos);
    if (tag.name == "ul") {
      finish();
      ++depth;
    } else if (tag.name == "/ul") {
      finish();
      if (depth > 0) --depth;
    } else if (tag.name == "li") {
      finish();
    } else if (tag.name == "object") {
      finish();
      if (lower(tag.attribute("type")) == "text/sitemap") {
        in_sitemap_object = true;
        current.emplace();
        current->level = std::min(std::max(depth - 1, 0), limits.max_level);
      }
    } else if (tag.name == "/object") {
      finish();
    } else if (tag.name == "param" && in_sitemap_object && current) {
      std::string key = lower(tag.attribute("name"));
      std::string value = decodeEntities(tag.attribute("value"));
      if (key == "name" && current->name.empty()) {
        current->name = std::move(value);
      } else if (key == "local" && current->local.empty()) {
        current->local = std::move(value);
      } else if (key == "keyword" && current->keywords.size() < 64) {
        current->keywords.push_back(std::move(value));
      }
    }
  }
  finish();
  return entries;
}

}  // namespace htmlhelp
