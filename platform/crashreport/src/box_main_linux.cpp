// quorvik-crashbox: shows the exception box for a crash that the crash helper
// reports. The helper starts it as soon as it knows which program crashed,
//
//   quorvik-crashbox --fd <pipe> --app <application name>
//
// so that Qt, the display connection and the fonts come up while the helper
// still reads the crashed process. Then it waits for the helper's message on
// the pipe: fields each ended by a NUL, in this order
//
//   the box's note (why the program cannot continue, a failed save)
//   the crashed executable
//   the report
//   the crashed process's command line, one field per argument
//
// and shows the box with continuing disabled. "restart application" starts
// the executable afresh with that command line. When the pipe closes without
// a whole message (the helper failed), no box is shown.
#include <spawn.h>
#include <unistd.h>

#include <QApplication>
#include <QFontMetrics>
#include <QPushButton>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "crashreport/exception_box.h"
#include "crashreport/reporter.h"
#include "crashreport/settings.h"

extern char** environ;

namespace {

using namespace crashreport;

std::string ReadAll(int fd) {
  std::string data;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    data.append(buffer, static_cast<std::size_t>(n));
  }
  return data;
}

std::vector<std::string> Fields(const std::string& data) {
  std::vector<std::string> fields;
  for (std::size_t at = 0; at < data.size();) {
    std::size_t end = data.find('\0', at);
    if (end == std::string::npos) break;  // a cut last field is not taken
    fields.push_back(data.substr(at, end - at));
    at = end + 1;
  }
  return fields;
}

}  // namespace

int main(int argc, char** argv) {
  int fd = -1;
  std::string appName = "Quorvik";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--fd") == 0)
      fd = std::atoi(argv[i + 1]);
    else if (std::strcmp(argv[i], "--app") == 0)
      appName = argv[i + 1];
  }
  if (fd < 0) {
    std::fprintf(stderr, "usage: %s --fd <pipe> --app <application name>\n", argv[0]);
    return 2;
  }
  std::string error;
  std::optional<TCrashSettings> settings = ReadEmbeddedSettings(&error);
  if (!settings) {
    std::fprintf(stderr, "quorvik-crashbox: %s\n", error.c_str());
    return 1;
  }

  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  QApplication app(qtArgc, qtArgv);
  // Load the fonts now, while the helper works: the first text measured
  // reads the font configuration, the largest part of bringing the box up.
  {
    QPushButton probe(QString::fromStdString(appName));
    probe.ensurePolished();
    (void)probe.sizeHint();
  }

  std::vector<std::string> fields = Fields(ReadAll(fd));
  ::close(fd);
  if (fields.size() < 3) return 1;
  const std::string& executable = fields[1];

  TQtPresenter presenter;
  TBoxModel box = MakeBoxModel(*settings, appName);
  box.CanContinue = false;
  box.Note = fields[0];
  box.Report = fields[2];
  if (settings->Bool("AutoClip")) presenter.PutOnClipboard(box.Report);
  TBoxAnswer answer = presenter.ShowExceptionBox(box);
  if (answer == TBoxAnswer::Restart && fields.size() > 3) {
    std::vector<char*> restartArgv;
    for (std::size_t i = 3; i < fields.size(); ++i) restartArgv.push_back(fields[i].data());
    restartArgv.push_back(nullptr);
    pid_t child = 0;
    if (::posix_spawn(&child, executable.c_str(), nullptr, nullptr, restartArgv.data(), environ) != 0)
      std::fprintf(stderr, "quorvik-crashbox: cannot restart %s\n", executable.c_str());
  }
  return 0;
}
