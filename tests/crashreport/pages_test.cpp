#include "crashreport/pages.h"

#include <gtest/gtest.h>

#include "classlib/layout_parser.h"

namespace {

using crashreport::ReadEmbeddedPage;
using crashreport::TPage;

void ExpectButtons(const TPage& page, bool cont, bool skip, bool cancel) {
  ASSERT_TRUE(page.Item("ContinueBtn") && page.Item("SkipBtn") && page.Item("CancelBtn"));
  EXPECT_EQ(page.Item("ContinueBtn")->Caption, "Continue");
  EXPECT_EQ(page.Item("ContinueBtn")->Enabled, cont);
  EXPECT_EQ(page.Item("SkipBtn")->Enabled, skip);
  EXPECT_EQ(page.Item("CancelBtn")->Enabled, cancel);
}

TEST(CrashPages, ContactForm) {
  TPage page = ReadEmbeddedPage("TCRCONTACTFORM");
  EXPECT_EQ(page.Name, "ContactForm");
  EXPECT_EQ(page.Title, "Contact Information");
  EXPECT_EQ(page.Timer, 0);
  EXPECT_EQ(page.Item("NameLabel")->Caption, "your name:");
  EXPECT_FALSE(page.Item("NameEdit")->Required);
  EXPECT_EQ(page.Item("NameEdit")->ReportAs, "contact name");
  EXPECT_EQ(page.Item("EmailLabel")->Caption, "your email:");
  EXPECT_TRUE(page.Item("EmailEdit")->Required);
  EXPECT_EQ(page.Item("EmailEdit")->ReportAs, "contact email");
  EXPECT_EQ(page.Item("RememberCheck")->Caption, "remember me");
  EXPECT_FALSE(page.Item("RememberCheck")->Checked);
  ExpectButtons(page, true, false, true);
}

TEST(CrashPages, DetailsForm) {
  TPage page = ReadEmbeddedPage("TCRDETAILSFORM");
  EXPECT_EQ(page.Title, "Error Details");
  EXPECT_EQ(page.Timer, 0);
  EXPECT_EQ(page.Item("DetailsLabel")->Caption, "in which situation did the error occur?");
  const auto* memo = page.Item("DetailsMemo");
  ASSERT_TRUE(memo);
  EXPECT_EQ(memo->Lines, 9);
  EXPECT_TRUE(memo->Required);
  EXPECT_EQ(memo->ReportSection, "error details");
  ExpectButtons(page, true, true, true);
}

TEST(CrashPages, ScrShotForm) {
  TPage page = ReadEmbeddedPage("TCRSCRSHOTFORM");
  EXPECT_EQ(page.Title, "Screenshot Configuration");
  EXPECT_EQ(page.Timer, 250);
  EXPECT_EQ(page.ActiveControl, "ContinueBtn");
  EXPECT_EQ(page.Item("AttachCheck")->Caption, "attach a screenshot to the bug report");
  EXPECT_TRUE(page.Item("AttachCheck")->Checked);
  EXPECT_TRUE(page.Item("ScreenshotImage")->Bordered);
  EXPECT_FALSE(page.Item("ScreenshotImage")->OnClick.empty());
  EXPECT_EQ(page.Item("EditHintLabel")->Caption, "(click to edit image)");
  ExpectButtons(page, true, false, true);
}

TEST(CrashPages, RejectsWhatThePageCannotHold) {
  struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"form P : TCrPage\n  Colour = 3\nend\n", "line 2: Colour: unknown property"},
      {"form P : TCrPage\n  control A : TGrid\n  end\nend\n", "line 2: unknown page item"},
      {"form P : TCrPage\n  control A : TEdit\n    Required = 1\n  end\nend\n",
       "Required: expected true or false"},
      {"form P : TCrPage\n  ActiveControl = Nope\nend\n", "ActiveControl: no item called 'Nope'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      crashreport::ParsePage(c.text, "page");
      ADD_FAILURE() << "accepted";
    } catch (const classlib::ELayoutError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

}  // namespace
