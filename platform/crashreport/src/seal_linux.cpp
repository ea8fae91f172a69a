#include "crashreport/seal.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

// Defined by the source crashreport_seal_executable() adds to the program.
extern "C" {
[[gnu::weak]] extern const char quorvik_crashreport_seal_required;
}

namespace crashreport {
namespace {

constexpr char kMagic[8] = {'Q', 'V', 'S', 'E', 'A', 'L', '0', '1'};
constexpr std::size_t kTrailer = 24;

std::uint64_t Load64(const unsigned char* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

void Store64(unsigned char* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i, v >>= 8) p[i] = static_cast<unsigned char>(v);
}

struct TMapped {
  const unsigned char* Data = nullptr;
  std::size_t Size = 0;
  explicit TMapped(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0) {
      void* p = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE,
                       fd, 0);
      if (p != MAP_FAILED) {
        Data = static_cast<const unsigned char*>(p);
        Size = static_cast<std::size_t>(st.st_size);
      }
    } else if (st.st_size == 0) {
      Data = reinterpret_cast<const unsigned char*>("");
    }
    ::close(fd);
  }
  ~TMapped() {
    if (Data && Size) ::munmap(const_cast<unsigned char*>(Data), Size);
  }
};

bool HasTrailer(const unsigned char* data, std::size_t size) {
  return size >= kTrailer && std::memcmp(data + size - kTrailer, kMagic, 8) == 0;
}

}  // namespace

// Four independent lanes of multiply-rotate rounds over 32-byte blocks, then
// the tail: the lanes keep the processor busy (no one long dependency chain),
// so a 14 MB executable hashes in about a millisecond at every start, and any
// flipped bit changes the result. Not meant to stop tampering, only to catch
// damage.
std::uint64_t SealHash(std::string_view data) {
  constexpr std::uint64_t kP1 = 0x9e3779b185ebca87ull, kP2 = 0xc2b2ae3d27d4eb4full;
  auto round = [](std::uint64_t acc, std::uint64_t word) {
    acc += word * kP2;
    acc = (acc << 31) | (acc >> 33);
    return acc * kP1;
  };
  std::uint64_t lane[4] = {kP1 + kP2, kP2, 0, 0 - kP1};
  std::size_t i = 0;
  for (; i + 32 <= data.size(); i += 32) {
    std::uint64_t word[4];
    std::memcpy(word, data.data() + i, 32);
    for (int k = 0; k < 4; ++k) lane[k] = round(lane[k], word[k]);
  }
  std::uint64_t h = data.size();
  for (std::uint64_t l : lane) h = round(h ^ round(0, l), l) * kP1 + kP2;
  for (; i < data.size(); ++i) h = (h ^ static_cast<unsigned char>(data[i])) * kP1;
  h ^= h >> 33;
  h *= kP2;
  return h ^ (h >> 29);
}

TSealState CheckSeal(const std::string& path) {
  TMapped file(path);
  if (!file.Data) return TSealState::Unreadable;
  if (!HasTrailer(file.Data, file.Size)) return TSealState::NotSealed;
  const unsigned char* trailer = file.Data + file.Size - kTrailer;
  std::uint64_t length = Load64(trailer + 8);
  if (length != file.Size - kTrailer) return TSealState::Corrupt;
  std::string_view content(reinterpret_cast<const char*>(file.Data), length);
  return SealHash(content) == Load64(trailer + 16) ? TSealState::Ok : TSealState::Corrupt;
}

bool SealFile(const std::string& path, std::string* error) {
  std::size_t length = 0;
  std::uint64_t hash = 0;
  {
    TMapped file(path);
    if (!file.Data) {
      if (error) *error = path + ": cannot read: " + std::strerror(errno);
      return false;
    }
    length = HasTrailer(file.Data, file.Size) ? file.Size - kTrailer : file.Size;
    hash = SealHash(std::string_view(reinterpret_cast<const char*>(file.Data), length));
  }
  unsigned char trailer[kTrailer];
  std::memcpy(trailer, kMagic, 8);
  Store64(trailer + 8, length);
  Store64(trailer + 16, hash);
  int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  bool ok = fd >= 0 && ::ftruncate(fd, static_cast<off_t>(length)) == 0 &&
            ::pwrite(fd, trailer, kTrailer, static_cast<off_t>(length)) == static_cast<ssize_t>(kTrailer);
  int saved = errno;
  if (fd >= 0) ::close(fd);
  if (!ok && error) *error = path + ": cannot write the seal: " + std::strerror(saved);
  return ok;
}

bool SealRequired() { return &quorvik_crashreport_seal_required != nullptr; }

}  // namespace crashreport
