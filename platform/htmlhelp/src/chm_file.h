// A compiled help (.chm) file, read with libmspack over a copy held in memory.
//
// Qt-free on purpose: the libFuzzer target and the book build tool use it
// without Qt. Every .chm is treated as hostile input: sizes and counts are
// capped here before libmspack sees a request, and libmspack only ever reads
// through an in-memory I/O layer that cannot reach outside the file's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace htmlhelp {

struct ChmLimits {
  std::size_t max_file_bytes = 64u << 20;    // whole .chm
  std::size_t max_object_bytes = 16u << 20;  // one object inside it
  std::size_t max_objects = 100000;          // directory entries kept
  // Decompressed stretches of the compressed section kept per file, so that
  // later reads near earlier ones cost a copy instead of a decompression.
  // 0 turns the cache off (every read then decompresses on its own).
  std::size_t max_cache_bytes = 8u << 20;
};

class ChmFile {
 public:
  ~ChmFile();
  ChmFile(const ChmFile&) = delete;
  ChmFile& operator=(const ChmFile&) = delete;

  // Opens the file at `path`. On failure returns null and puts a short,
  // user-readable reason (no file name) into `error`.
  static std::unique_ptr<ChmFile> open(const std::string& path, std::string* error,
                                       const ChmLimits& limits = {});
  // Same for a file already in memory (the bytes are copied).
  static std::unique_ptr<ChmFile> fromMemory(std::string_view bytes, std::string* error,
                                             const ChmLimits& limits = {});

  // Object names as stored, e.g. "/topic.htm", "/#SYSTEM", sorted by their
  // lower-case form; internal "::DataSpace" names are left out.
  std::vector<std::string> objects() const;
  // True when an object of that name exists. Names compare without regard to
  // ASCII case, as help files are written on a case-insensitive system; a
  // missing leading '/' is added.
  bool contains(std::string_view name) const;
  // The object's bytes, or nullopt when it is missing, larger than the limit,
  // or cannot be decompressed. Never reads outside the file. Objects of the
  // compressed section are cut from whole reset intervals (the stretches the
  // compressor restarts at), decompressed once and kept within
  // ChmLimits::max_cache_bytes.
  std::optional<std::string> read(std::string_view name) const;
  // The stored spelling of `name`, or empty when missing.
  std::string storedName(std::string_view name) const;
  // Where an object of the uncompressed section starts in the file, for tools
  // that patch it in place; nullopt for compressed or missing objects.
  std::optional<std::uint64_t> fileOffset(std::string_view name) const;

 private:
  struct Impl;
  explicit ChmFile(std::unique_ptr<Impl> impl);
  static std::unique_ptr<ChmFile> adopt(std::string bytes, std::string* error, const ChmLimits& limits);
  std::unique_ptr<Impl> impl_;
};

// Corrects, in a file's bytes, header faults that chmcmd is known to write
// and libmspack would refuse or misread: the second header GUID, and the
// number of the first directory listing chunk. Leaves other bytes alone.
void repairCompilerFaults(std::string& bytes);

// "/a/b.htm" for "a/b.htm", "/a/b.htm", "\a\b.htm". Object names may hold
// '#' ("/#SYSTEM", "/_#_README_#_"), so fragments are left to the caller.
std::string normalizeObjectName(std::string_view name);

}  // namespace htmlhelp
