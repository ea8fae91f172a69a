// main() of the widget tests: brings the class library's module up (the
// toolkit's application, Application, Screen) around the GoogleTest run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>

#include "classlib/application.h"

int main(int argc, char** argv) {
  // Headless unless told otherwise (ctest sets it too; test discovery does not).
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  testing::InitGoogleTest(&argc, argv);
  static const classlib::TUnit units[] = {classlib::Unit()};
  classlib::TUnitsGuard modules = classlib::RunUnits(units, std::size(units), argc, argv);
  return RUN_ALL_TESTS();
}
