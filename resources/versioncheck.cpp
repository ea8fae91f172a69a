// Build step: fails, naming the line, when the version block is malformed or
// lacks a string that belongs in it.
#include <fstream>
#include <iostream>
#include <sstream>

#include "classlib/version_info.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: versioncheck <version.txt>\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << argv[1] << ": cannot read\n";
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();
  std::string error;
  std::optional<classlib::TVersionInfo> info = classlib::ParseVersionInfo(text.str(), &error);
  if (!info) {
    std::cerr << argv[1] << ": " << error << "\n";
    return 1;
  }
  for (const char* name :
       {"CompanyName", "FileDescription", "FileVersion", "InternalName", "LegalCopyright", "LegalTrademarks",
        "OriginalFilename", "ProductName", "ProductVersion", "Comments"}) {
    if (!info->String(name)) {
      std::cerr << argv[1] << ": the string table lacks " << name << "\n";
      return 1;
    }
  }
  return 0;
}
