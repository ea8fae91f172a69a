// Build-time check of the crash reporter's resources: parses the settings
// record and the assistant pages the way the program will, and fails the
// build with the parser's message (file, line, setting) when one is wrong.
//
//   crashsettings_check <stamp> <settings-file> [<page-file>...]
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "classlib/layout_parser.h"
#include "crashreport/pages.h"
#include "crashreport/settings.h"

namespace {

bool Slurp(const char* path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <stamp> <settings-file> [<page-file>...]\n", argv[0]);
    return 2;
  }
  for (int i = 2; i < argc; ++i) {
    std::string text;
    if (!Slurp(argv[i], text)) {
      std::fprintf(stderr, "%s: cannot read\n", argv[i]);
      return 1;
    }
    if (i == 2) {
      std::string error;
      if (!crashreport::ParseSettings(text, argv[i], &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
      }
    } else {
      try {
        crashreport::ParsePage(text, argv[i]);
      } catch (const classlib::ELayoutError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
      }
    }
  }
  std::ofstream(argv[1]) << "ok\n";
  return 0;
}
