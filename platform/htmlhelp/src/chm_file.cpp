#include "chm_file.h"

#include <mspack.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <set>
#include <unordered_map>

namespace htmlhelp {
namespace {

// libmspack sees the file only through this I/O layer: reads come from the
// in-memory copy and are clipped to its length, writes go to one capped
// buffer. Nothing touches the file system after the initial read.
struct MemSystem {
  mspack_system sys;  // first member: libmspack passes &sys back to us
  const std::string* source = nullptr;
  std::string* sink = nullptr;
  std::size_t sink_cap = 0;
};

struct MemHandle {
  MemSystem* owner;
  bool writing;
  std::size_t pos;
};

MemHandle* handle(mspack_file* f) { return reinterpret_cast<MemHandle*>(f); }

mspack_file* memOpen(mspack_system* self, const char* /*name*/, int mode) {
  auto* sys = reinterpret_cast<MemSystem*>(self);
  bool writing = mode == MSPACK_SYS_OPEN_WRITE;
  if (!writing && mode != MSPACK_SYS_OPEN_READ) return nullptr;
  if (writing && sys->sink == nullptr) return nullptr;
  return reinterpret_cast<mspack_file*>(new MemHandle{sys, writing, 0});
}

void memClose(mspack_file* f) { delete handle(f); }

int memRead(mspack_file* f, void* buffer, int bytes) {
  MemHandle* h = handle(f);
  if (h->writing || bytes < 0) return -1;
  const std::string& src = *h->owner->source;
  std::size_t left = h->pos < src.size() ? src.size() - h->pos : 0;
  std::size_t n = std::min<std::size_t>(left, static_cast<std::size_t>(bytes));
  if (n > 0) std::memcpy(buffer, src.data() + h->pos, n);
  h->pos += n;
  return static_cast<int>(n);
}

int memWrite(mspack_file* f, void* buffer, int bytes) {
  MemHandle* h = handle(f);
  std::string* sink = h->owner->sink;
  if (!h->writing || bytes < 0 || sink == nullptr) return -1;
  if (sink->size() + static_cast<std::size_t>(bytes) > h->owner->sink_cap) return -1;
  sink->append(static_cast<const char*>(buffer), static_cast<std::size_t>(bytes));
  return bytes;
}

int memSeek(mspack_file* f, off_t offset, int mode) {
  MemHandle* h = handle(f);
  if (h->writing) return -1;
  const auto size = static_cast<off_t>(h->owner->source->size());
  off_t base = mode == MSPACK_SYS_SEEK_START ? 0
               : mode == MSPACK_SYS_SEEK_CUR ? static_cast<off_t>(h->pos)
               : mode == MSPACK_SYS_SEEK_END ? size
                                             : -1;
  if (base < 0) return -1;
  // Offsets come from file headers; keep the sum from overflowing.
  if (offset > size || offset < -size) return -1;
  off_t target = base + offset;
  if (target < 0 || target > size) return -1;
  h->pos = static_cast<std::size_t>(target);
  return 0;
}

off_t memTell(mspack_file* f) { return static_cast<off_t>(handle(f)->pos); }

void memMessage(mspack_file*, const char*, ...) {}  // libmspack's warnings stay quiet

// Header fields decide some allocation sizes; refuse absurd ones. `self` is
// not necessarily our MemSystem: libmspack calls through copies of the
// system structure, so the cap is a constant.
constexpr std::size_t kMaxAlloc = 16u << 20;  // well above LZX's largest (2 MiB) window

void* memAlloc(mspack_system* /*self*/, std::size_t bytes) {
  if (bytes > kMaxAlloc) return nullptr;
  return std::malloc(bytes);
}

void memFree(void* p) { std::free(p); }
void memCopy(void* src, void* dst, std::size_t bytes) { std::memmove(dst, src, bytes); }

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

}  // namespace

// Sizes of the compressed section, from its control data and reset table
// (both in the uncompressed section). Layouts: ControlData "LZXC" record:
// +4 "LZXC", +8 version, +12 reset interval (in 32 KiB frames from version 2
// on, else bytes). ResetTable: +16 uncompressed length (64-bit).
struct LzxLayout {
  std::uint64_t reset_bytes = 0;   // uncompressed bytes between reset points; 0: unknown
  std::uint64_t content_size = 0;  // uncompressed length of the section
};

struct ChmFile::Impl {
  ChmLimits limits;
  std::string bytes;
  mutable MemSystem io;
  mutable std::string sink;
  mschm_decompressor* opener = nullptr;  // owns `header`
  mschmd_header* header = nullptr;
  // Lower-case name -> entry. Hashed: a book of thousands of topics is opened
  // for one look-up, and a tree of names cost more than the directory itself.
  std::unordered_map<std::string, mschmd_file*> by_name;

  // Extraction runs on a decompressor of its own: libmspack only restarts
  // its LZX stream at a reset point when asked for data behind its position;
  // asked for data far ahead, it decompresses everything in between. A fresh
  // decompressor is the public way to make it start at the nearest reset
  // point instead.
  mutable mschm_decompressor* extractor = nullptr;
  mutable std::int64_t stream_end = -1;  // where the extractor's LZX stream stands; -1: fresh
  LzxLayout lzx;

  struct Block {
    std::string bytes;
    std::uint64_t last_used = 0;
  };
  mutable std::map<std::uint64_t, Block> blocks;  // reset interval number -> its bytes
  mutable std::set<std::uint64_t> failed_blocks;  // not tried again
  mutable std::size_t cached_bytes = 0;
  mutable std::uint64_t clock = 0;

  ~Impl() {
    if (extractor) mspack_destroy_chm_decompressor(extractor);
    if (header) opener->close(opener, header);
    if (opener) mspack_destroy_chm_decompressor(opener);
  }

  // The bytes of a system object of the uncompressed section, or empty.
  std::string_view sysObject(std::string_view name) const;
  void readLzxLayout();
  // Runs libmspack on `file` into `sink`; true when exactly its length came out.
  bool extract(mschmd_file* file) const;
  const std::string* block(std::uint64_t number) const;
  std::optional<std::string> readCompressed(const mschmd_file& file) const;
};

std::string_view ChmFile::Impl::sysObject(std::string_view name) const {
  for (const mschmd_file* f = header->sysfiles; f; f = f->next) {
    if (f->filename == nullptr || name != f->filename || f->section == nullptr || f->section->id != 0)
      continue;
    if (f->offset < 0 || f->length < 0 || header->sec0.offset < 0) return {};
    const auto start =
        static_cast<std::uint64_t>(header->sec0.offset) + static_cast<std::uint64_t>(f->offset);
    const auto length = static_cast<std::uint64_t>(f->length);
    if (start > bytes.size() || length > bytes.size() - start) return {};
    return std::string_view(bytes).substr(start, length);
  }
  return {};
}

void ChmFile::Impl::readLzxLayout() {
  constexpr std::uint64_t kFrame = 0x8000;
  std::string_view control = sysObject("::DataSpace/Storage/MSCompressed/ControlData");
  std::string_view reset = sysObject(
      "::DataSpace/Storage/MSCompressed/Transform/{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/"
      "ResetTable");
  if (control.size() < 16 || control.substr(4, 4) != "LZXC" || reset.size() < 24) return;
  auto le = [](std::string_view s, std::size_t at, int n) {
    std::uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i)
      v = v << 8 | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
    return v;
  };
  std::uint64_t interval = le(control, 12, 4);
  if (le(control, 8, 4) >= 2) interval *= kFrame;
  const std::uint64_t content = le(reset, 16, 8);
  // Odd values are left to libmspack's own checks: the cache stays off.
  if (interval == 0 || interval % kFrame != 0 || interval > limits.max_cache_bytes / 2) return;
  if (content == 0 || content > 4 * static_cast<std::uint64_t>(limits.max_file_bytes)) return;
  lzx.reset_bytes = interval;
  lzx.content_size = content;
}

bool ChmFile::Impl::extract(mschmd_file* file) const {
  if (file->section->id == 1 && lzx.reset_bytes != 0 && stream_end >= 0) {
    const auto offset = static_cast<std::uint64_t>(file->offset);
    const std::uint64_t reset_point = offset - offset % lzx.reset_bytes;
    if (reset_point > static_cast<std::uint64_t>(stream_end)) {  // far ahead: start afresh there
      mspack_destroy_chm_decompressor(extractor);
      extractor = mspack_create_chm_decompressor(&io.sys);
      stream_end = -1;
    }
  }
  if (extractor == nullptr) return false;
  sink.clear();
  io.sink_cap = static_cast<std::size_t>(file->length);
  const int rc = extractor->extract(extractor, file, "out");
  const bool ok = rc == MSPACK_ERR_OK && sink.size() == static_cast<std::size_t>(file->length);
  if (file->section->id == 1) stream_end = ok ? file->offset + file->length : -1;
  return ok;
}

const std::string* ChmFile::Impl::block(std::uint64_t number) const {
  ++clock;
  if (auto it = blocks.find(number); it != blocks.end()) {
    it->second.last_used = clock;
    return &it->second.bytes;
  }
  const std::uint64_t start = number * lzx.reset_bytes;
  if (start >= lzx.content_size || failed_blocks.count(number)) return nullptr;
  mschmd_file stretch{};
  stretch.section = const_cast<mschmd_section*>(&header->sec1.base);
  stretch.offset = static_cast<off_t>(start);
  stretch.length = static_cast<off_t>(std::min(lzx.reset_bytes, lzx.content_size - start));
  stretch.filename = const_cast<char*>("");
  if (!extract(&stretch)) {
    failed_blocks.insert(number);
    return nullptr;
  }
  while (!blocks.empty() && cached_bytes + sink.size() > limits.max_cache_bytes) {
    auto oldest = std::min_element(blocks.begin(), blocks.end(), [](const auto& a, const auto& b) {
      return a.second.last_used < b.second.last_used;
    });
    cached_bytes -= oldest->second.bytes.size();
    blocks.erase(oldest);
  }
  Block& b = blocks[number];
  b.bytes.swap(sink);
  b.last_used = clock;
  cached_bytes += b.bytes.size();
  return &b.bytes;
}

// An object of the compressed section, cut from its cached reset intervals;
// nullopt when they cannot be had (the caller then extracts it on its own).
std::optional<std::string> ChmFile::Impl::readCompressed(const mschmd_file& file) const {
  const std::uint64_t interval = lzx.reset_bytes;
  if (interval == 0) return std::nullopt;
  const auto offset = static_cast<std::uint64_t>(file.offset),
             length = static_cast<std::uint64_t>(file.length);
  if (offset > lzx.content_size || length > lzx.content_size - offset) return std::nullopt;
  const std::uint64_t first = offset / interval, last = (offset + length - 1) / interval;
  if ((last - first + 1) * interval > limits.max_cache_bytes) return std::nullopt;
  std::string out;
  out.reserve(static_cast<std::size_t>(length));
  for (std::uint64_t n = first; n <= last; ++n) {
    const std::string* bytes = block(n);
    if (bytes == nullptr) return std::nullopt;
    const std::uint64_t from = n == first ? offset - n * interval : 0;
    const std::uint64_t to = std::min<std::uint64_t>(bytes->size(), offset + length - n * interval);
    if (from > to) return std::nullopt;
    out.append(*bytes, static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
  }
  if (out.size() != length) return std::nullopt;
  return out;
}

ChmFile::ChmFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
ChmFile::~ChmFile() = default;

std::unique_ptr<ChmFile> ChmFile::open(const std::string& path, std::string* error, const ChmLimits& limits) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = std::strerror(errno);
    return nullptr;
  }
  std::string bytes;
  char buf[65536];
  while (in.read(buf, sizeof buf) || in.gcount() > 0) {
    bytes.append(buf, static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > limits.max_file_bytes) {
      if (error) *error = "the file is too large to be a help file";
      return nullptr;
    }
  }
  if (in.bad()) {
    if (error) *error = "the file cannot be read";
    return nullptr;
  }
  return adopt(std::move(bytes), error, limits);
}

std::unique_ptr<ChmFile> ChmFile::fromMemory(std::string_view bytes, std::string* error,
                                             const ChmLimits& limits) {
  if (bytes.size() > limits.max_file_bytes) {
    if (error) *error = "the file is too large to be a help file";
    return nullptr;
  }
  return adopt(std::string(bytes), error, limits);
}

std::unique_ptr<ChmFile> ChmFile::adopt(std::string bytes, std::string* error, const ChmLimits& limits) {
  auto fail = [error](const char* why) -> std::unique_ptr<ChmFile> {
    if (error) *error = why;
    return nullptr;
  };
  if (bytes.size() > limits.max_file_bytes) return fail("the file is too large to be a help file");
  if (bytes.size() < 4 || bytes.substr(0, 4) != "ITSF") return fail("the file is not a compiled help file");

  auto impl = std::make_unique<Impl>();
  impl->limits = limits;
  impl->bytes = std::move(bytes);
  repairCompilerFaults(impl->bytes);
  impl->io.sys = mspack_system{memOpen,    memClose, memRead, memWrite, memSeek, memTell,
                               memMessage, memAlloc, memFree, memCopy,  nullptr};
  impl->io.source = &impl->bytes;
  impl->io.sink = &impl->sink;

  impl->opener = mspack_create_chm_decompressor(&impl->io.sys);
  impl->extractor = mspack_create_chm_decompressor(&impl->io.sys);
  if (!impl->opener || !impl->extractor) return fail("out of memory");
  impl->header = impl->opener->open(impl->opener, "chm");
  if (!impl->header) return fail("the file is damaged (its directory cannot be read)");

  std::size_t count = 0;
  for (mschmd_file* f = impl->header->files; f; f = f->next)
    if (++count > limits.max_objects) return fail("the file is damaged (too many objects)");
  impl->by_name.reserve(count);
  for (mschmd_file* f = impl->header->files; f; f = f->next) {
    if (f->filename == nullptr || f->section == nullptr) continue;
    impl->by_name.emplace(lower(f->filename), f);  // first of duplicate names wins
  }
  if (limits.max_cache_bytes > 0) impl->readLzxLayout();
  return std::unique_ptr<ChmFile>(new ChmFile(std::move(impl)));
}

std::vector<std::string> ChmFile::objects() const {
  std::vector<std::pair<const std::string*, const char*>> sorted;
  sorted.reserve(impl_->by_name.size());
  for (const auto& [key, file] : impl_->by_name) sorted.emplace_back(&key, file->filename);
  std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return *a.first < *b.first; });
  std::vector<std::string> out;
  out.reserve(sorted.size());
  for (const auto& [key, name] : sorted) out.emplace_back(name);
  return out;
}

bool ChmFile::contains(std::string_view name) const {
  return impl_->by_name.count(lower(normalizeObjectName(name))) != 0;
}

std::string ChmFile::storedName(std::string_view name) const {
  auto it = impl_->by_name.find(lower(normalizeObjectName(name)));
  return it == impl_->by_name.end() ? std::string() : std::string(it->second->filename);
}

std::optional<std::uint64_t> ChmFile::fileOffset(std::string_view name) const {
  auto it = impl_->by_name.find(lower(normalizeObjectName(name)));
  if (it == impl_->by_name.end() || it->second->section->id != 0) return std::nullopt;
  const mschmd_file* f = it->second;
  if (f->offset < 0 || impl_->header->sec0.offset < 0) return std::nullopt;
  return static_cast<std::uint64_t>(impl_->header->sec0.offset) + static_cast<std::uint64_t>(f->offset);
}

std::optional<std::string> ChmFile::read(std::string_view name) const {
  auto it = impl_->by_name.find(lower(normalizeObjectName(name)));
  if (it == impl_->by_name.end()) return std::nullopt;
  mschmd_file* f = it->second;
  const ChmLimits& lim = impl_->limits;
  if (f->length < 0 || f->offset < 0) return std::nullopt;
  if (static_cast<std::uint64_t>(f->length) > lim.max_object_bytes) return std::nullopt;
  // Reaching an object in the compressed section means decompressing
  // everything before it from the last reset point; an absurd offset would
  // make that arbitrarily slow.
  if (static_cast<std::uint64_t>(f->offset) > 4 * static_cast<std::uint64_t>(lim.max_file_bytes))
    return std::nullopt;
  if (f->length == 0) return std::string();

  if (f->section->id == 1)
    if (std::optional<std::string> cut = impl_->readCompressed(*f)) return cut;
  if (!impl_->extract(f)) return std::nullopt;
  std::string out;
  out.swap(impl_->sink);
  return out;
}

namespace {

std::uint32_t le32(const std::string& s, std::size_t at) {
  auto b = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + i])); };
  return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}

void put32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
}

}  // namespace

// Header layout (ITSF, then the directory header ITSP at the offset stored at
// 0x48): ITSP +0x08 header length, +0x10 chunk size, +0x20 first listing
// chunk, +0x2C number of chunks. Listing chunks ("PMGL") carry the previous
// chunk's number at +0x0C, -1 for the first.
void repairCompilerFaults(std::string& bytes) {
  if (bytes.size() < 0x60 || bytes.compare(0, 4, "ITSF") != 0) return;

  // The first header GUID written twice: the second must be {7C01FD11-...}.
  constexpr std::size_t kGuid1 = 0x18, kGuid2 = 0x28, kGuidLen = 16;
  if (bytes.compare(kGuid2, kGuidLen, bytes, kGuid1, kGuidLen) == 0 &&
      static_cast<unsigned char>(bytes[kGuid1]) == 0x10)
    bytes[kGuid2] = 0x11;

  // A first-listing-chunk field that points past the real first chunk (seen
  // with more than one listing chunk): walk the chain back to its start.
  const std::uint64_t itsp = le32(bytes, 0x48) | static_cast<std::uint64_t>(le32(bytes, 0x4c)) << 32;
  if (itsp > bytes.size() || bytes.size() - itsp < 0x54 || bytes.compare(itsp, 4, "ITSP") != 0) return;
  const std::uint64_t chunks = itsp + le32(bytes, itsp + 0x08);
  const std::uint32_t chunk_size = le32(bytes, itsp + 0x10);
  const std::uint32_t count = le32(bytes, itsp + 0x2c);
  std::uint32_t first = le32(bytes, itsp + 0x20);
  if (chunk_size < 0x14 || count == 0 || first >= count) return;
  if (chunks + static_cast<std::uint64_t>(count) * chunk_size > bytes.size()) return;
  auto chunkAt = [&](std::uint32_t n) { return chunks + static_cast<std::uint64_t>(n) * chunk_size; };
  for (std::uint32_t steps = 0;; ++steps) {
    if (steps == count) return;  // a cycle: no start to find
    if (bytes.compare(chunkAt(first), 4, "PMGL") != 0) return;
    std::uint32_t prev = le32(bytes, chunkAt(first) + 0x0c);
    if (prev == 0xffffffffu) break;
    if (prev >= count || bytes.compare(chunkAt(prev), 4, "PMGL") != 0) return;
    first = prev;
  }
  put32(bytes, itsp + 0x20, first);
}

std::string normalizeObjectName(std::string_view name) {
  std::string out;
  out.reserve(name.size() + 1);
  for (char c : name) out.push_back(c == '\\' ? '/' : c);
  if (out.empty() || out.front() != '/') out.insert(out.begin(), '/');
  return out;
}

}  // namespace htmlhelp
