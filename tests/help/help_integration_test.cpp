// Help from the real main window through the real class library, router and
// viewer: F1 and the Help button open the topic that the built "Quorvik.chm"
// maps to context 100, and the class library's own help system stays unused.
// Runs in build/bin, beside the built books.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTreeWidget>

#include "UseHTML.h"
#include "help_recorder.h"
#include "uquorvik.h"
#include "viewer_registry_p.h"
#include "viewer_window_p.h"
#include "widget_helpers.h"

using namespace classlib;

namespace {

// The program's order: the router is hooked in before the main window exists.
class ProgramEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    UseHTML::Unit().Initialize();
    Application->HelpFile = "";
    Application->CreateForm(Form1);
    testsupport::ShowActive(Form1->Widget());
  }
  void TearDown() override { UseHTML::Unit().Finalize(); }
};
const auto* const environment = testing::AddGlobalTestEnvironment(new ProgramEnvironment);

QString ShownTopic() {
  htmlhelp::HelpViewerWindow* viewer = htmlhelp::viewerWindowForFile("Quorvik.chm");
  return viewer ? viewer->currentTopic() : QString("(no viewer)");
}

}  // namespace

TEST(HelpFromTheMainWindow, F1AndHelpButtonOpenTopic100OfTheBuiltBook) {
  for (TControl* control :
       {static_cast<TControl*>(Form1->ListView1), static_cast<TControl*>(Form1->rbShowCheckboxes),
        static_cast<TControl*>(Form1->rbNoCheckboxes), static_cast<TControl*>(Form1->Button1)}) {
    SCOPED_TRACE(control->Name());
    Application->HelpCommand(HELP_QUIT, 0);  // close every viewer first
    QApplication::processEvents();
    ASSERT_TRUE(htmlhelp::viewerWindows().isEmpty());
    testsupport::ShowActive(Form1->Widget());
    control->SetFocus();
    QTest::keyClick(control->Widget(), Qt::Key_F1);
    EXPECT_EQ(ShownTopic(), "/main_window.htm");
  }
  Application->HelpCommand(HELP_QUIT, 0);
  QApplication::processEvents();
  testsupport::ShowActive(Form1->Widget());
  QTest::mouseClick(Form1->Button1->Widget(), Qt::LeftButton);
  EXPECT_EQ(ShownTopic(), "/main_window.htm");
  // A second request reuses the viewer window of the book.
  QTest::mouseClick(Form1->Button1->Widget(), Qt::LeftButton);
  EXPECT_EQ(htmlhelp::viewerWindows().size(), 1);
  htmlhelp::HelpViewerWindow* viewer = htmlhelp::viewerWindowForFile("Quorvik.chm");
  ASSERT_TRUE(viewer);
  EXPECT_EQ(viewer->parentWidget(), Form1->Widget());  // transient for the main window
  EXPECT_EQ(testsupport::BuiltInHelpBoxes(), 0);
}

TEST(HelpFromTheMainWindow, QuitClosesEveryViewerWindow) {
  Application->HelpContext(100);
  Application->HelpCommand(HELP_HELPONHELP, 0);
  EXPECT_EQ(htmlhelp::viewerWindows().size(), 2);
  Application->HelpCommand(HELP_QUIT, 0);
  QApplication::processEvents();
  EXPECT_TRUE(htmlhelp::viewerWindows().isEmpty());
}
