#include "classlib/layout_parser.h"

#include <gtest/gtest.h>

using classlib::ELayoutError;
using classlib::ParseLayout;
using classlib::TLayoutValue;

TEST(LayoutParser, ReadsObjectsPropertiesAndValues) {
  const char* text = R"(# a form
form Form1 : TForm1
  Caption = "Say \"hi\"\\"
  Left = -12
  Mask = 0x1F
  Icons = [biSystemMenu, biHelp]
  SubItems = ["", "b"]
  Font.Name = "Arial"   # trailing comment
  control List : TListView
    column
      Width = 130
    end
  end
end
)";
  classlib::TLayoutObject form = ParseLayout(text, "test");
  EXPECT_EQ(form.Name, "Form1");
  EXPECT_EQ(form.ClassName, "TForm1");
  EXPECT_EQ(form.Line, 2);
  ASSERT_EQ(form.Properties.size(), 6u);
  EXPECT_EQ(form.Properties[0].Value.Text, "Say \"hi\"\\");
  EXPECT_EQ(form.Properties[1].Value.Integer, -12);
  EXPECT_EQ(form.Properties[2].Value.Integer, 31);
  EXPECT_EQ(form.Properties[3].Value.Kind, TLayoutValue::TKind::List);
  ASSERT_EQ(form.Properties[3].Value.Items.size(), 2u);
  EXPECT_EQ(form.Properties[3].Value.Items[1].Text, "biHelp");
  EXPECT_EQ(form.Properties[4].Value.Items[0].Text, "");
  EXPECT_EQ(form.Properties[5].Name, "Font.Name");
  EXPECT_EQ(form.Properties[5].Line, 8);
  ASSERT_EQ(form.Children.size(), 1u);
  const classlib::TLayoutObject& list = form.Children[0];
  EXPECT_EQ(list.Keyword, "control");
  EXPECT_EQ(list.Name, "List");
  ASSERT_EQ(list.Children.size(), 1u);
  EXPECT_EQ(list.Children[0].Keyword, "column");
  EXPECT_EQ(list.Children[0].Properties[0].Value.Integer, 130);
}

// Every malformed layout names the line and, where there is one, the property.
TEST(LayoutParser, MalformedLayoutsNameLineAndProperty) {
  struct TCase {
    const char* text;
    int line;
    const char* property;
    const char* reason;
  } cases[] = {
      {"form F : T\n  Left = \nend\n", 2, "Left", "missing value"},
      {"form F : T\n  Caption = \"open\nend\n", 2, "Caption", "unterminated string"},
      {"form F : T\n  Caption = \"a\\q\"\nend\n", 2, "Caption", "unknown escape"},
      {"form F : T\n  Left = 12px\nend\n", 2, "Left", "malformed number"},
      {"form F : T\n  Left = 99999999999999999999\nend\n", 2, "Left", "malformed number"},
      {"form F : T\n  Left = 1 2\nend\n", 2, "Left", "unexpected text after the value"},
      {"form F : T\n  Icons = [a, b\nend\n", 2, "Icons", "expected ']'"},
      {"form F : T\n  Left = 1\n  Left = 2\nend\n", 3, "Left", "set twice"},
      {"form F : T\n  Left = @\nend\n", 2, "Left", "unexpected character"},
      {"Left = 1\n", 1, "Left", "property outside any object"},
      {"form F : T\n  control B\nend\n", 2, "B", "expected ':'"},
      {"form F : T\n  control B : TButton\n", 2, "B", "without 'end'"},
      {"form F : T\nend\nend\n", 3, "", "'end' without an open object"},
      {"form F : T\nend\nform G : T\nend\n", 3, "G", "a second root form"},
      {"column\nend\n", 1, "", "outside the form"},
      {"# nothing\n", 1, "", "no form in layout"},
      {"form F : T\n  Font. = 1\nend\n", 2, "Font", "expected '='"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      ParseLayout(c.text, "case");
      ADD_FAILURE() << "no error";
    } catch (const ELayoutError& e) {
      EXPECT_EQ(e.Line(), c.line);
      EXPECT_EQ(e.Property(), c.property);
      EXPECT_NE(e.Reason().find(c.reason), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("case, line " + std::to_string(c.line)), std::string::npos);
    }
  }
}

TEST(LayoutParser, LimitsStopHostileNesting) {
  std::string deep = "form F : T\n";
  for (int i = 0; i < 100; ++i) deep += "control C" + std::to_string(i) + " : T\n";
  EXPECT_THROW(ParseLayout(deep, "deep"), ELayoutError);
  std::string brackets = "form F : T\n  X = " + std::string(1000, '[') + "\nend\n";
  EXPECT_THROW(ParseLayout(brackets, "brackets"), ELayoutError);
}
