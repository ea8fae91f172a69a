// The help router as the application's hook: its table of commands, and its
// place in the module order.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <cstdlib>
#include <new>

#include "../classlib/test_forms.h"
#include "UseHTML.h"
#include "classlib/resources.h"
#include "help_recorder.h"

using namespace classlib;
using namespace UseHTML;

namespace {

struct TCall {
  HWND Owner;
  std::string File;  // "(null)" for no file
  unsigned int Command;
  std::uintptr_t Data;
  bool operator==(const TCall&) const = default;
};
std::vector<TCall> calls;
HWND Record(HWND owner, const char* file, unsigned int command, std::uintptr_t data) {
  calls.push_back({owner, file ? file : "(null)", command, data});
  return 0;  // the viewer's result must not matter
}

const TResourceEntry layouts[] = {{"TTestForm", reinterpret_cast<const unsigned char*>(TestLayout),
                                   std::char_traits<char>::length(TestLayout)}};
const bool registered = RegisterResources(layouts, 1);

}  // namespace

#ifndef __SANITIZE_ADDRESS__  // AddressSanitizer keeps its own allocator
namespace {
// Watches the router's deletion: was the hook already empty then?
const void* watched = nullptr;
int hookAssignedAtDelete = -1;
void Watch(void* p) {
  if (p && p == watched) hookAssignedAtDelete = Application && Application->OnHelp.Assigned();
}

}  // namespace

void operator delete(void* p) noexcept {
  Watch(p);
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  Watch(p);
  std::free(p);
}
constexpr bool WatchingDeletes = true;
#else
constexpr bool WatchingDeletes = false;
const void* watched = nullptr;
int hookAssignedAtDelete = -1;
#endif

// The module's life and the table run in one test, in the program's order:
// the hook is there before any window, serves the main window's requests,
// and is emptied before the router goes.
TEST(UseHTML, InstalledBeforeTheMainWindowRoutesEveryCommandAndLeavesFirst) {
  ASSERT_TRUE(registered);
  ASSERT_EQ(Application->MainForm(), nullptr);
  UseHTML::Unit().Initialize();
  ASSERT_NE(HelpRouter, nullptr);
  EXPECT_EQ(Application->OnHelp.Instance, HelpRouter);
  EXPECT_NE(Application->OnHelp.Code, nullptr);
  THtmlHelpEntry real = SetViewerEntry(Record);
  EXPECT_EQ(real, &HtmlHelpA);

  Application->HelpFile = "";
  TTestForm* form = nullptr;
  Application->CreateForm(form);
  const HWND owner = form->Handle();
  ASSERT_NE(owner, 0u);
  Application->HelpFile = "Quorvik.chm";

  const char* keyword = "dragging";
  const auto key = reinterpret_cast<std::intptr_t>(keyword);
  struct TCase {
    std::uint16_t Command;
    std::intptr_t Data;
    TCall Expected;
  } cases[] = {
      {HELP_CONTEXT, 100, {owner, "Quorvik.chm", HH_HELP_CONTEXT, 100}},
      {HELP_CONTEXT, -1, {owner, "Quorvik.chm", HH_HELP_CONTEXT, static_cast<std::uintptr_t>(-1)}},
      {HELP_CONTEXTPOPUP, 7, {owner, "Quorvik.chm", HH_HELP_CONTEXT, 7}},
      {HELP_QUIT, 5, {owner, "(null)", HH_CLOSE_ALL, 0}},
      {HELP_HELPONHELP, 9, {owner, "VIEWHLP.CHM", HH_DISPLAY_TOPIC, 0}},
      {HELP_KEY, key, {owner, "Quorvik.chm", HH_DISPLAY_INDEX, reinterpret_cast<std::uintptr_t>(keyword)}},
      {HELP_PARTIALKEY,
       key,
       {owner, "Quorvik.chm", HH_DISPLAY_INDEX, reinterpret_cast<std::uintptr_t>(keyword)}},
      {HELP_CONTENTS, 55, {owner, "Quorvik.chm", HH_DISPLAY_TOC, 0}},
      {HELP_FINDER, 1, {owner, "Quorvik.chm", HH_DISPLAY_TOC, 0}},
      {HELP_SETPOPUP_POS, 1, {owner, "Quorvik.chm", HH_DISPLAY_TOC, 0}},
      {HELP_COMMAND, key, {owner, "Quorvik.chm", HH_DISPLAY_TOC, 0}},
      {0xFFFF, 3, {owner, "Quorvik.chm", HH_DISPLAY_TOC, 0}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "command 0x" << std::hex << c.Command);
    calls.clear();
    bool callHelp = true;
    EXPECT_TRUE(HelpRouter->HelpHandler(c.Command, c.Data, callHelp));
    EXPECT_FALSE(callHelp);
    EXPECT_EQ(calls, std::vector<TCall>{c.Expected});
  }

  // Through the class library: handled, and its own help system untouched.
  calls.clear();
  EXPECT_TRUE(Application->HelpContext(100));
  EXPECT_EQ(calls, (std::vector<TCall>{{owner, "Quorvik.chm", HH_HELP_CONTEXT, 100}}));
  EXPECT_EQ(testsupport::BuiltInHelpBoxes(), 0);

  // Nothing is cached: a new help file name reaches the next call.
  Application->HelpFile = "Other.chm";
  calls.clear();
  Application->HelpContext(100);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].File, "Other.chm");
  Application->HelpFile = "";
  calls.clear();
  Application->HelpCommand(HELP_HELPONHELP, 0);
  EXPECT_EQ(calls[0].File, "VIEWHLP.CHM");

  watched = HelpRouter;
  UseHTML::Unit().Finalize();
  if (WatchingDeletes) {
    EXPECT_EQ(hookAssignedAtDelete, 0);
  }
  EXPECT_EQ(HelpRouter, nullptr);
  EXPECT_EQ(Application->OnHelp.Code, nullptr);
  EXPECT_EQ(Application->OnHelp.Instance, nullptr);
  SetViewerEntry(real);
}
