// Plain file-descriptor output shared by the report file and the crash helper.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace crashreport::detail {

// Writes all of data to fd, going on after interrupted or short writes.
// False on any other failure, with errno set. Allocates nothing.
inline bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace crashreport::detail
