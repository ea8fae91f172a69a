// Run() as the program uses it, in a process of its own since the first form
// created becomes the main form for good.
#include <gtest/gtest.h>

#include <QTimer>
#include <QWidget>

#include "classlib/resources.h"
#include "test_forms.h"

using namespace classlib;

namespace {
// The test form's stored layout, linked in as the program's are.
const TResourceEntry layouts[] = {{"TTestForm", reinterpret_cast<const unsigned char*>(TestLayout),
                                   std::char_traits<char>::length(TestLayout)}};
const bool registered = RegisterResources(layouts, 1);
}  // namespace

TEST(Run, ClosingTheMainFormEndsRunWhileAnotherWindowIsOpen) {
  ASSERT_TRUE(registered);
  TTestForm* form = nullptr;
  Application->CreateForm(form);
  ASSERT_EQ(Application->MainForm(), form);
  EXPECT_NE(form->Handle(), 0u);  // the main form's native window exists once created

  QWidget other;  // another top-level window, such as a help viewer
  other.setWindowTitle("Other");
  other.show();
  QTimer::singleShot(50, [form] {
    ASSERT_TRUE(form->Showing());
    form->Close();
  });
  QTimer watchdog;  // a Run() that never ends fails the test instead of hanging it
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] {
    ADD_FAILURE() << "Run() did not end";
    Application->Terminate();
  });
  watchdog.start(5000);
  Application->Run();
  EXPECT_TRUE(watchdog.isActive());
  EXPECT_TRUE(Application->Terminated());
  EXPECT_TRUE(other.isVisible());
}
