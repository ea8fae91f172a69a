// chm_canonicalize <file.chm>: makes a freshly compiled help book
// reproducible and standard, in place.
//
// The compiler stamps the build time into the file header (offset 0x10) and
// into the #SYSTEM record with code 10; both are set to zero so two builds of
// the same sources give the same bytes. It also corrects the header faults
// the compiler is known for (see repairCompilerFaults), so other readers
// accept the book too.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "chm_file.h"

namespace {

int fail(const std::string& path, const std::string& why) {
  std::fprintf(stderr, "chm_canonicalize: %s: %s\n", path.c_str(), why.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: chm_canonicalize <file.chm>\n");
    return 2;
  }
  const std::string path = argv[1];
  std::string bytes;
  {
    std::ifstream in(path, std::ios::binary);
    if (!in) return fail(path, "cannot be read");
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  if (bytes.size() < 0x60 || bytes.compare(0, 4, "ITSF") != 0) return fail(path, "not a compiled help file");

  for (std::size_t i = 0x10; i < 0x14; ++i) bytes[i] = 0;  // header timestamp
  htmlhelp::repairCompilerFaults(bytes);

  std::string error;
  auto chm = htmlhelp::ChmFile::fromMemory(bytes, &error);
  if (!chm) return fail(path, error);
  auto offset = chm->fileOffset("/#SYSTEM");
  auto system = chm->read("/#SYSTEM");
  if (!offset || !system || *offset + system->size() > bytes.size())
    return fail(path, "has no uncompressed #SYSTEM object");

  // #SYSTEM: 32-bit version, then records of 16-bit code, 16-bit length, data.
  auto u16 = [&](std::size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>((*system)[at])) |
           static_cast<unsigned>(static_cast<unsigned char>((*system)[at + 1])) << 8;
  };
  for (std::size_t pos = 4; pos + 4 <= system->size();) {
    unsigned code = u16(pos), len = u16(pos + 2);
    pos += 4;
    if (len > system->size() - pos) break;
    if (code == 10)
      for (std::size_t i = 0; i < len; ++i) bytes[*offset + pos + i] = 0;
    pos += len;
  }

  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) return fail(path, "cannot be written");
  return 0;
}
