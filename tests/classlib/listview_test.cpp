// The list's check marks against a widget that fails half-way through
// showing or hiding the boxes.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QTreeWidget>
#include <stdexcept>

#include "classlib/comctrls.h"

using namespace classlib;

namespace {
// Arms a failure of the widget's next row update.
bool failNextRowUpdate = false;
}  // namespace

// Stands in for Qt's own setFlags, which it calls, unless armed to fail.
void QTreeWidgetItem::setFlags(Qt::ItemFlags flags) {
  using TReal = void (*)(QTreeWidgetItem*, Qt::ItemFlags);
  static const auto real =
      reinterpret_cast<TReal>(dlsym(RTLD_NEXT, "_ZN15QTreeWidgetItem8setFlagsE6QFlagsIN2Qt8ItemFlagEE"));
  if (failNextRowUpdate) {
    failNextRowUpdate = false;
    throw std::runtime_error("row update failed");
  }
  real(this, flags);
}

TEST(ListView, ARowThatFailsToFollowTheBoxesLosesNoCheckMark) {
  TListView list(nullptr);
  list.AddColumn({"Column 1", 100});
  for (const char* caption : {"a", "b", "c"}) list.AddItem()->SetCaption(caption);
  list.SetCheckboxes(true);
  auto* tree = static_cast<QTreeWidget*>(list.Widget());
  tree->topLevelItem(0)->setCheckState(0, Qt::Checked);  // as a click on the box does
  ASSERT_TRUE(list.Item(0)->Checked());

  failNextRowUpdate = true;
  EXPECT_THROW(list.SetCheckboxes(false), std::runtime_error);
  // The same request again brings every row in line.
  list.SetCheckboxes(false);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(tree->topLevelItem(i)->data(0, Qt::CheckStateRole).isValid()) << i;

  list.SetCheckboxes(true);
  EXPECT_EQ(tree->topLevelItem(0)->checkState(0), Qt::Checked);
  // The user's clicks are taken again after the failure.
  tree->topLevelItem(2)->setCheckState(0, Qt::Checked);
  EXPECT_TRUE(list.Item(2)->Checked());
  EXPECT_TRUE(list.Item(0)->Checked());
  EXPECT_FALSE(list.Item(1)->Checked());
}
