// Post-build step: appends the build seal to an executable (seal.h).
//   crashreport_seal <file>
#include <cstdio>
#include <string>

#include "crashreport/seal.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <executable>\n", argv[0]);
    return 2;
  }
  std::string error;
  if (!crashreport::SealFile(argv[1], &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return 0;
}
