#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>

#include "classlib/dispatch.h"
#include "classlib_p.h"
#include "scaling_p.h"
#include "test_forms.h"
#include "widget_helpers.h"

using namespace classlib;

namespace {

std::unique_ptr<TTestForm> Build(const std::string& text = TestLayout) {
  auto form = std::make_unique<TTestForm>(nullptr);
  form->LoadFromText(text, "test layout");
  return form;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

}  // namespace

TEST(FormLoader, BuildsControlsFillsFieldsAndRaisesCreateOnce) {
  auto form = Build();
  ASSERT_TRUE(form->Radio1 && form->Radio2 && form->Button1);
  EXPECT_EQ(form->Name(), "TestForm");
  EXPECT_EQ(form->Button1->Caption(), "Go");
  EXPECT_EQ(form->Button1->Widget()->parentWidget(), form->Widget());
  // Stored state is applied before events are bound: building runs no click.
  EXPECT_TRUE(form->Radio1->Checked());
  EXPECT_EQ(form->Calls, std::vector<std::string>{"Created"});
}

// A layout the loader cannot apply names the line and the property.
TEST(FormLoader, BadLayoutsNameLineAndProperty) {
  struct TCase {
    const char* from;
    const char* to;
    int line;
    const char* property;
    const char* reason;
  } cases[] = {
      {"    Caption = \"Go\"", "    Capton = \"Go\"", 31, "Capton", "no such property of TButton"},
      {"    Left = 150", "    Left = \"150\"", 27, "Left", "expected a number"},
      {"    Checked = true", "    Checked = yes", 15, "Checked", "expected true or false"},
      {"    OnClick = Clicked\n  end\n  control Button1", "    OnClick = Clickd\n  end\n  control Button1",
       24, "OnClick", "no handler 'Clickd' in TTestForm"},
      {"  OnCreate = Created", "  OnCreate = Over", 8, "OnCreate", "does not fit this event"},
      {"control Button1 : TButton", "control Button1 : TSpinner", 26, "Button1", "unknown control class"},
      {"control Button1 : TButton", "control Button1 : TRadioButton", 26, "Button1",
       "does not take a TRadioButton"},
      {"form TestForm : TTestForm", "form TestForm : TOtherForm", 1, "TestForm", "not TTestForm"},
      {"    Height = 26", "    Height = -26", 30, "Height", "out of range"},
      {"    Height = 26", "    column\n    end", 30, "", "no collection 'column' in TButton"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.to);
    try {
      Build(Replace(TestLayout, c.from, c.to));
      ADD_FAILURE() << "no error";
    } catch (const ELayoutError& e) {
      EXPECT_EQ(e.Line(), c.line) << e.what();
      EXPECT_EQ(e.Property(), c.property) << e.what();
      EXPECT_NE(e.Reason().find(c.reason), std::string::npos) << e.what();
    }
  }
}

TEST(RadioButtons, OnlyABecomingCheckedButtonRaisesItsClick) {
  auto form = Build();
  testsupport::ShowActive(form->Widget());
  form->Calls.clear();
  auto* one = static_cast<QRadioButton*>(form->Radio1->Widget());
  auto* two = static_cast<QRadioButton*>(form->Radio2->Widget());

  QTest::mouseClick(one, Qt::LeftButton);  // already checked
  EXPECT_TRUE(form->Calls.empty());

  QTest::mouseClick(two, Qt::LeftButton);
  EXPECT_EQ(form->Calls, std::vector<std::string>{"Clicked:Radio2"});
  EXPECT_FALSE(form->Radio1->Checked());
  // Only the checked button of the group is a tab stop.
  EXPECT_TRUE(form->Radio2->TabStop());
  EXPECT_FALSE(form->Radio1->TabStop());
}

namespace {
std::vector<std::string> handled;
void RecordError(std::exception_ptr error, const char* handler) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    handled.push_back(std::string(handler) + ": " + e.what());
  }
}
}  // namespace

TEST(Dispatch, AnEscapingErrorReachesTheExceptionHandlingAndTheWindowGoesOn) {
  auto form = Build();
  testsupport::ShowActive(form->Widget());
  handled.clear();
  TExceptionHandler previous = SetExceptionHandler(RecordError);
  form->ThrowOnClick = true;
  auto* button = static_cast<QPushButton*>(form->Button1->Widget());
  QTest::mouseClick(button, Qt::LeftButton);
  form->ThrowOnClick = false;
  QTest::mouseClick(button, Qt::LeftButton);
  SetExceptionHandler(previous);
  EXPECT_EQ(handled, std::vector<std::string>{"Clicked: handler failed"});
  EXPECT_EQ(form->Calls, (std::vector<std::string>{"Created", "Clicked:Button1", "Clicked:Button1"}));
  EXPECT_FALSE(InDispatch());
}

TEST(Dispatch, DefaultHandlingShowsTheMessageTitledWithTheApplication) {
  auto form = Build();
  testsupport::ShowActive(form->Widget());
  form->ThrowOnClick = true;
  QString title, text;
  testsupport::WhenModal([&](QWidget* box) {
    title = box->windowTitle();
    if (auto* message = qobject_cast<QMessageBox*>(box)) text = message->text();
    box->close();
  });
  form->Button1->Click();
  EXPECT_EQ(title.toStdString(), Application->Title());
  EXPECT_EQ(Application->Title(), "classlib_test");
  EXPECT_EQ(text, "handler failed");
}

TEST(Scaling, MulDivRoundsHalfAwayFromZero) {
  EXPECT_EQ(MulDiv(-14, 96, 120), -11);
  EXPECT_EQ(MulDiv(295, 12, 16), 221);
  EXPECT_EQ(MulDiv(6, 12, 16), 5);  // 4.5
  EXPECT_EQ(MulDiv(-6, 12, 16), -5);
}
