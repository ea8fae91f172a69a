#include "crashreport/settings.h"

#include <gtest/gtest.h>

#include <string>

#include "classlib/resources.h"

namespace {

std::string EmbeddedRecord() {
  auto text = classlib::FindResource("TCRASHSETTINGS");
  return text ? std::string(*text) : std::string();
}

// Replaces the line that sets name with replacement (empty: removes it).
std::string WithLine(std::string record, const std::string& name, const std::string& replacement) {
  std::size_t at = record.find("\n" + name + " ");
  if (at == std::string::npos) return "<no line for " + name + ">";
  std::size_t end = record.find('\n', at + 1);
  record.replace(at + 1, end - at - 1, replacement);
  return record;
}

TEST(CrashSettings, EmbeddedRecordHoldsTheConfiguredValues) {
  std::string error;
  auto settings = crashreport::ParseSettings(EmbeddedRecord(), "TCRASHSETTINGS", &error);
  ASSERT_TRUE(settings) << error;
  EXPECT_TRUE(settings->Bool("Enabled"));
  EXPECT_EQ(settings->Int("FreezeTimeout"), 60000);
  EXPECT_EQ(settings->Int("DupExceptDef"), 1);
  EXPECT_EQ(settings->Text("Plugins"), "modules|processes|hardware");
  EXPECT_EQ(settings->Expanded("TitleBar", "Quorvik"), "Quorvik");
  EXPECT_EQ(settings->Text("ExceptMsg"), "An error occurred in the application.");
  EXPECT_FALSE(settings->Bool("SaveBtnVis"));
  EXPECT_FALSE(settings->Bool("PrintBtnVis"));
  EXPECT_EQ(settings->Text("OkBtnTxt"), "&OK");
  EXPECT_EQ(settings->Text("Assistant1"), "SendAssistant|Send Assistant|ContactForm|DetailsForm|ScrShotForm");
  EXPECT_EQ(settings->Int("BugRepFileSize"), 50000);
  EXPECT_EQ(settings->Text("BugRepFile"), "bugreport.txt");
  EXPECT_EQ(settings->Text("MailAddr"), "support@quorvik.example");
  EXPECT_EQ(settings->Text("SmtpServer"), "");
  EXPECT_EQ(settings->Int("HttpPort"), 80);
  EXPECT_EQ(settings->Text("SendFailMsg"), "Sorry, sending the mail didn't work.");
  EXPECT_EQ(settings->Text("F1Classes"), "EDBEditError");
  EXPECT_EQ(settings->Int("F1ShowCfg"), 3);
  EXPECT_TRUE(settings->Bool("F1NoBugRep"));
  EXPECT_FALSE(settings->Bool("GnNoBugRep"));
  EXPECT_THROW(settings->Bool("TitleBar"), std::logic_error);  // wrong type
  EXPECT_THROW(settings->Text("Titlebar"), std::logic_error);  // not in the schema
}

TEST(CrashSettings, RejectsBrokenRecordsNamingTheSetting) {
  const std::string good = EmbeddedRecord();
  struct {
    const char* what;
    std::string text;
    const char* message;  // expected part of the error
  } cases[] = {
      {"misspelt name", WithLine(good, "AutoClip", "AutoClipp = true"), "AutoClipp: unknown setting"},
      {"bool not a bool", WithLine(good, "Enabled", "Enabled = yes"), "Enabled: expected true or false"},
      {"number out of range", WithLine(good, "SmtpPort", "SmtpPort = 70000"),
       "SmtpPort: value 70000 outside"},
      {"number not a number", WithLine(good, "LimitDisAsm", "LimitDisAsm = ten"),
       "LimitDisAsm: expected a whole"},
      {"text not quoted", WithLine(good, "MailSubj", "MailSubj = bug report"), "MailSubj: expected a text"},
      {"unterminated text", WithLine(good, "MailBody", "MailBody = \"please"), "MailBody: unterminated text"},
      {"junk after value", WithLine(good, "AutoSend", "AutoSend = false false"), "AutoSend: unexpected"},
      {"missing setting", WithLine(good, "GnAssis", ""), "GnAssis: missing"},
      {"set twice", good + "Enabled = false\n", "Enabled: set twice"},
      {"no equals sign", good + "Enabled true\n", "expected 'Name = value'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    EXPECT_FALSE(crashreport::ParseSettings(c.text, "record", &error));
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
    EXPECT_EQ(error.rfind("record", 0), 0u) << error;
  }
}

TEST(CrashSettings, ErrorsNameTheLine) {
  std::string error;
  crashreport::ParseSettings("# comment\n\nEnabeld = true\n", "rec", &error);
  EXPECT_EQ(error, "rec, line 3: Enabeld: unknown setting");
}

TEST(CrashSettings, TextEscapesAndAppNameExpansion) {
  std::string record =
      WithLine(EmbeddedRecord(), "TitleBar", R"(TitleBar = "%appname% \"x\" %appname%\\" # c)");
  auto settings = crashreport::ParseSettings(record, "record");
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->Expanded("TitleBar", "Q"), "Q \"x\" Q\\");
  EXPECT_EQ(crashreport::SplitList(" EDBEditError | EFoo||"),
            (std::vector<std::string>{"EDBEditError", "EFoo"}));
}

}  // namespace
