// A help hook for tests that records every request it gets, and a look at
// the class library's own help system.
#pragma once

#include <QApplication>
#include <QWidget>
#include <cstdint>
#include <vector>

namespace testsupport {

struct THelpRequest {
  std::uint16_t Command;
  std::intptr_t Data;
  bool operator==(const THelpRequest&) const = default;
};

// Bind with classlib::THelpEvent::Of<&THelpRecorder::Hook>(&recorder).
struct THelpRecorder {
  std::vector<THelpRequest> Requests;
  bool Result = true;
  bool ClearCallHelp = true;
  bool Hook(std::uint16_t command, std::intptr_t data, bool& callHelp) {
    Requests.push_back({command, data});
    if (ClearCallHelp) callHelp = false;
    return Result;
  }
};

// How many messages of the class library's own help system are open.
inline int BuiltInHelpBoxes() {
  int count = 0;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "classlib.builtinhelp" && w->isVisible()) ++count;
  return count;
}

inline void CloseBuiltInHelpBoxes() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "classlib.builtinhelp") w->close();
  QApplication::processEvents();
}

}  // namespace testsupport
