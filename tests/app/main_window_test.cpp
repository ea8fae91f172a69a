// The main window as the program builds it: stored values, check boxes,
// radio buttons, help requests and dragging, driven with real input events.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include "classlib/dispatch.h"
#include "classlib_p.h"
#include "help_recorder.h"
#include "scaling_p.h"
#include "uquorvik.h"
#include "widget_helpers.h"

using namespace classlib;

namespace {

using TRequest = testsupport::THelpRequest;
testsupport::THelpRecorder hook;

std::vector<std::string> dispatched;
void RecordDispatch(const char* handler) { dispatched.push_back(handler); }

using testsupport::BuiltInHelpBoxes;

QTreeWidget* Tree() { return static_cast<QTreeWidget*>(Form1->ListView1->Widget()); }
QWidget* Viewport() { return Tree()->viewport(); }

// The centre of a row, in the viewport's coordinates.
QPoint RowCentre(int row) { return Tree()->visualItemRect(Tree()->topLevelItem(row)).center(); }

std::vector<std::string> Captions() {
  std::vector<std::string> captions;
  for (int i = 0; i < Form1->ListView1->ItemCount(); ++i)
    captions.push_back(Form1->ListView1->Item(i)->Caption());
  return captions;
}

std::vector<bool> Checks() {
  std::vector<bool> checks;
  for (int i = 0; i < Form1->ListView1->ItemCount(); ++i)
    checks.push_back(Form1->ListView1->Item(i)->Checked());
  return checks;
}

struct TBounds {
  const char* Name;
  int Left, Top, Width, Height;
};

void ExpectBounds(const std::vector<TBounds>& expected) {
  for (const TBounds& b : expected) {
    SCOPED_TRACE(b.Name);
    auto* c = static_cast<TControl*>(Form1->FindComponent(b.Name));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->Left(), b.Left);
    EXPECT_EQ(c->Top(), b.Top);
    EXPECT_EQ(c->Width(), b.Width);
    EXPECT_EQ(c->Height(), b.Height);
  }
}

// One main window for the whole run, made as the program makes it.
class MainWindowEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    Application->HelpFile = "";
    Application->CreateForm(Form1);
    Form1->Show();
    testsupport::ShowActive(Form1->Widget());
  }
};
const auto* const environment = testing::AddGlobalTestEnvironment(new MainWindowEnvironment);

class MainWindow : public testing::Test {
 protected:
  void SetUp() override {
    testsupport::ShowActive(Form1->Widget());
    hook.Requests.clear();
    dispatched.clear();
    Application->OnHelp = THelpEvent::Of<&testsupport::THelpRecorder::Hook>(&hook);
  }
  void TearDown() override {
    Application->OnHelp.Clear();
    SetDispatchObserver(nullptr);
    for (int i = 0; i < Form1->ListView1->ItemCount(); ++i) Form1->ListView1->Item(i)->SetChecked(false);
    if (!Form1->rbShowCheckboxes->Checked()) Form1->rbShowCheckboxes->SetChecked(true);
  }
};

using MainWindowAt96 = MainWindow;

}  // namespace

TEST_F(MainWindow, HasEveryStoredValueAt120PixelsPerInch) {
  ASSERT_EQ(Screen->PixelsPerInch(), 120);
  EXPECT_EQ(Application->MainForm(), Form1);
  EXPECT_EQ(Application->HelpFile, "Quorvik.chm");  // set by the creation handler
  EXPECT_EQ(Form1->Caption(), "Quorvik");
  EXPECT_EQ(Form1->Left(), 560);
  EXPECT_EQ(Form1->Top(), 335);
  EXPECT_EQ(Form1->ClientWidth(), 295);
  EXPECT_EQ(Form1->ClientHeight(), 160);
  EXPECT_EQ(Form1->HelpContext(), 100);
  EXPECT_EQ(Form1->BorderIcons(),
            (TBorderIcons{TBorderIcon::biSystemMenu, TBorderIcon::biMinimize, TBorderIcon::biMaximize}));
  EXPECT_FALSE(Form1->AutoScroll());
  EXPECT_EQ(Form1->Color(), TColor::clBtnFace);
  EXPECT_EQ(Form1->Font(), (TFont{"Arial", -14, "DEFAULT_CHARSET", TColor::clWindowText, {}}));
  EXPECT_EQ(Form1->rbShowCheckboxes->Font(), Form1->Font());
  EXPECT_FALSE(Form1->rbShowCheckboxes->ParentFont());
  EXPECT_EQ(TextHeightOf(Form1->Font()), 16);
  EXPECT_EQ(Form1->TextHeight(), 16);

  ExpectBounds({{"ListView1", 0, 48, 295, 112},
                {"rbShowCheckboxes", 8, 6, 169, 17},
                {"rbNoCheckboxes", 8, 26, 165, 17},
                {"Button1", 192, 14, 90, 26}});
  EXPECT_EQ(Form1->ListView1->Align(), TAlign::alBottom);
  EXPECT_EQ(Form1->rbShowCheckboxes->Caption(), "Show Checkboxes");
  EXPECT_EQ(Form1->rbNoCheckboxes->Caption(), "No Checkboxes");
  EXPECT_EQ(Form1->Button1->Caption(), "Help");
  EXPECT_TRUE(Form1->rbShowCheckboxes->Checked());
  EXPECT_FALSE(Form1->rbNoCheckboxes->Checked());
  for (TControl* c : Form1->Controls()) EXPECT_EQ(c->HelpContext(), 0) << c->Name();

  // Tab order, and Tab really walking it: the unchecked radio button is no stop.
  EXPECT_EQ(Form1->ListView1->TabOrder(), 0);
  EXPECT_EQ(Form1->rbShowCheckboxes->TabOrder(), 1);
  EXPECT_EQ(Form1->rbNoCheckboxes->TabOrder(), 2);
  EXPECT_EQ(Form1->Button1->TabOrder(), 3);
  Form1->ListView1->SetFocus();
  std::vector<std::string> walk;
  for (int i = 0; i < 4; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    TControl* focused = Form1->ActiveControl();
    walk.push_back(focused ? focused->Name() : "?");
  }
  EXPECT_EQ(walk, (std::vector<std::string>{"rbShowCheckboxes", "Button1", "ListView1", "rbShowCheckboxes"}));

  TListView* list = Form1->ListView1;
  EXPECT_EQ(list->ViewStyle(), TViewStyle::vsReport);
  EXPECT_TRUE(list->Checkboxes());
  EXPECT_TRUE(list->RowSelect());
  EXPECT_FALSE(list->HideSelection());
  EXPECT_EQ(list->DragMode(), TDragMode::dmAutomatic);
  ASSERT_EQ(list->ColumnCount(), 2);
  EXPECT_EQ(list->Column(0).Caption, "Column 1");
  EXPECT_EQ(list->Column(1).Caption, "Column 2");
  EXPECT_EQ(list->Column(0).Width, 130);
  EXPECT_EQ(Tree()->columnWidth(1), 130);
  EXPECT_EQ(Captions(), (std::vector<std::string>{"Line 1", "Line 2", "Line 3", "Line 4", "Line 5", "Line 6",
                                                  "Line 7", "Line 8", "Line 9"}));
  for (int i = 0; i < list->ItemCount(); ++i) {
    SCOPED_TRACE(i);
    TListItem* item = list->Item(i);
    EXPECT_EQ(item->SubItems(), i == 0 ? std::vector<std::string>{""} : std::vector<std::string>{});
    EXPECT_EQ(item->ImageIndex, 0);
    EXPECT_EQ(item->StateIndex, -1);
    EXPECT_EQ(item->OverlayIndex, -1);
    EXPECT_EQ(item->Data, nullptr);
    EXPECT_FALSE(item->Checked());
    EXPECT_EQ(Tree()->topLevelItem(i)->checkState(0), Qt::Unchecked);  // a box is shown, empty
    EXPECT_EQ(Tree()->topLevelItem(i)->text(1), "");
  }
}

TEST_F(MainWindowAt96, FollowsTheScalingRule) {
  ASSERT_EQ(Screen->PixelsPerInch(), 96);
  // Font by 96/120: -14 becomes -11, whose text height is 12; positions and
  // sizes then by 12/16, rounded half away from zero. The stored position of
  // the window is kept.
  EXPECT_EQ(Form1->Font().Height, -11);
  EXPECT_EQ(Form1->rbShowCheckboxes->Font().Height, -11);
  EXPECT_EQ(Form1->TextHeight(), 12);
  EXPECT_EQ(Form1->PixelsPerInch(), 96);
  EXPECT_EQ(Form1->Left(), 560);
  EXPECT_EQ(Form1->Top(), 335);
  EXPECT_EQ(Form1->ClientWidth(), 221);
  EXPECT_EQ(Form1->ClientHeight(), 120);
  ExpectBounds({{"ListView1", 0, 36, 221, 84},
                {"rbShowCheckboxes", 6, 5, 127, 13},
                {"rbNoCheckboxes", 6, 20, 124, 13},
                {"Button1", 144, 11, 68, 20}});
  EXPECT_EQ(Form1->ListView1->Column(0).Width, 98);
  EXPECT_EQ(Tree()->columnWidth(0), 98);
}

TEST_F(MainWindow, CheckMarksSurviveHidingAndShowingTheBoxes) {
  // Check rows 2 and 5 by clicking their boxes.
  for (int row : {1, 4}) {
    QRect rect = Tree()->visualItemRect(Tree()->topLevelItem(row));
    QTest::mouseClick(Viewport(), Qt::LeftButton, {}, QPoint(rect.left() + 10, rect.center().y()));
  }
  const std::vector<bool> checked{false, true, false, false, true, false, false, false, false};
  ASSERT_EQ(Checks(), checked);
  Form1->ListView1->Item(6)->SetSelected(true);

  QTest::mouseClick(Form1->rbNoCheckboxes->Widget(), Qt::LeftButton);
  EXPECT_FALSE(Form1->ListView1->Checkboxes());
  for (int i = 0; i < 9; ++i)
    EXPECT_FALSE(Tree()->topLevelItem(i)->data(0, Qt::CheckStateRole).isValid()) << i;

  QTest::mouseClick(Form1->rbShowCheckboxes->Widget(), Qt::LeftButton);
  EXPECT_TRUE(Form1->ListView1->Checkboxes());
  EXPECT_EQ(Checks(), checked);
  EXPECT_EQ(Tree()->topLevelItem(1)->checkState(0), Qt::Checked);
  EXPECT_EQ(Tree()->topLevelItem(0)->checkState(0), Qt::Unchecked);
  // Nothing else of the list changed.
  EXPECT_EQ(Captions().front(), "Line 1");
  EXPECT_EQ(Form1->ListView1->ItemCount(), 9);
  EXPECT_EQ(Form1->ListView1->Selected(), Form1->ListView1->Item(6));
  EXPECT_EQ(Form1->ListView1->ColumnCount(), 2);
}

TEST_F(MainWindow, ClickingTheCheckedRadioButtonRunsNoHandler) {
  SetDispatchObserver(RecordDispatch);
  QTest::mouseClick(Form1->rbShowCheckboxes->Widget(), Qt::LeftButton);
  EXPECT_TRUE(dispatched.empty());
  EXPECT_TRUE(Form1->ListView1->Checkboxes());
  QTest::mouseClick(Form1->rbNoCheckboxes->Widget(), Qt::LeftButton);
  QTest::mouseClick(Form1->rbNoCheckboxes->Widget(), Qt::LeftButton);
  EXPECT_EQ(dispatched, std::vector<std::string>{"rbCheckboxesClick"});
  EXPECT_FALSE(Form1->ListView1->Checkboxes());
}

TEST_F(MainWindow, F1AndTheHelpButtonAskForContext100) {
  for (TControl* control :
       {static_cast<TControl*>(Form1->ListView1), static_cast<TControl*>(Form1->rbShowCheckboxes),
        static_cast<TControl*>(Form1->rbNoCheckboxes), static_cast<TControl*>(Form1->Button1)}) {
    SCOPED_TRACE(control->Name());
    hook.Requests.clear();
    control->SetFocus();
    ASSERT_TRUE(control->Focused());
    QTest::keyClick(control->Widget(), Qt::Key_F1);
    EXPECT_EQ(hook.Requests, (std::vector<TRequest>{{HELP_CONTEXT, 100}}));
  }
  hook.Requests.clear();
  QTest::mouseClick(Form1->Button1->Widget(), Qt::LeftButton);
  EXPECT_EQ(hook.Requests, (std::vector<TRequest>{{HELP_CONTEXT, 100}}));
  EXPECT_EQ(BuiltInHelpBoxes(), 0);
}

TEST_F(MainWindow, DraggingOverTheListMarksRowsAndADropChangesNothing) {
  TListView* list = Form1->ListView1;
  QWidget* view = Viewport();
  Form1->ListView1->Item(2)->SetChecked(true);
  const std::vector<std::string> captions = Captions();
  const std::vector<bool> checks = Checks();

  QTest::mousePress(view, Qt::LeftButton, {}, RowCentre(0));
  QTest::mouseMove(view, RowCentre(0) + QPoint(1, 1));  // below the threshold
  EXPECT_FALSE(DragStatus().Active);
  QTest::mouseMove(view, RowCentre(3));
  ASSERT_TRUE(DragStatus().Active);
  EXPECT_EQ(DragStatus().Source, list);
  EXPECT_EQ(DragStatus().Target, list);
  EXPECT_TRUE(DragStatus().Accepted);
  EXPECT_EQ(DragStatus().Cursor, TCursor::crDrag);
  ASSERT_TRUE(DragStatus().ImageWindow);
  EXPECT_TRUE(DragStatus().ImageWindow->isVisible());
  EXPECT_EQ(list->DropTarget(), list->Item(3));

  QTest::mouseMove(view, RowCentre(2));
  EXPECT_EQ(list->DropTarget(), list->Item(2));  // the mark moves with the pointer
  EXPECT_FALSE(list->Item(3)->DropTarget());

  // Over the Help button nothing accepts: the mark goes, the pointer refuses.
  QPoint overButton = view->mapFromGlobal(Form1->Button1->Widget()->mapToGlobal(QPoint(45, 13)));
  QTest::mouseMove(view, overButton);
  EXPECT_EQ(DragStatus().Target, Form1->Button1);
  EXPECT_FALSE(DragStatus().Accepted);
  EXPECT_EQ(DragStatus().Cursor, TCursor::crNoDrop);
  EXPECT_EQ(list->DropTarget(), nullptr);

  QTest::mouseMove(view, RowCentre(3));
  EXPECT_EQ(list->DropTarget(), list->Item(3));
  QTest::mouseRelease(view, Qt::LeftButton, {}, RowCentre(3));
  EXPECT_FALSE(DragStatus().Active);
  EXPECT_EQ(list->DropTarget(), nullptr);
  EXPECT_EQ(DragStatus().Cursor, TCursor::crDefault);
  EXPECT_EQ(Captions(), captions);
  EXPECT_EQ(Checks(), checks);
}
