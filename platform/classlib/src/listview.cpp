#include <QHeaderView>
#include <QTreeWidget>

#include "classlib/comctrls.h"
#include "classlib_p.h"
#include "scaling_p.h"

namespace classlib {

// The list's widget: a flat tree in report view.
class TListView::TTree : public QTreeWidget {
 public:
  TTree() {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setDragEnabled(false);  // dragging is the class library's own
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setStretchLastSection(false);  // columns keep their stored widths
    setColumnCount(0);
  }
};

TListView::TListView(TComponent* owner) : TControl(owner, new TTree) {
  TTree* tree = Tree();
  WatchMouse(tree->viewport());
  SetTabStop(true);
  SetRowSelect(false);
  SetHideSelection(true);
  QObject::connect(tree, &QTreeWidget::itemChanged, tree, [this](QTreeWidgetItem* item, int column) {
    if (FSyncing || !FCheckboxes || column != 0) return;
    int index = Tree()->indexOfTopLevelItem(item);
    if (index >= 0) FItems[static_cast<std::size_t>(index)]->FChecked = item->checkState(0) == Qt::Checked;
  });
}

TListView::~TListView() = default;

TListView::TTree* TListView::Tree() const { return static_cast<TTree*>(Widget()); }

void TListView::SetCheckboxes(bool on) {
  if (on == FCheckboxes && !FRowsStale) return;
  // The rows' check marks live in the items, not in the widget, so hiding
  // the boxes loses none of them. Should a row fail to follow, the next
  // request brings every row in line again, even with the same value.
  FCheckboxes = on;
  FRowsStale = true;
  for (auto& item : FItems) item->Sync();
  FRowsStale = false;
}

void TListView::SetRowSelect(bool on) {
  FRowSelect = on;
  Tree()->setSelectionBehavior(on ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
  Tree()->setAllColumnsShowFocus(on);
}

void TListView::SetHideSelection(bool on) {
  FHideSelection = on;
  QPalette palette = Tree()->palette();
  const QPalette base = Tree()->style() ? Tree()->style()->standardPalette() : palette;
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
    palette.setColor(QPalette::Inactive, role,
                     on ? base.color(QPalette::Inactive, role) : palette.color(QPalette::Active, role));
  Tree()->setPalette(palette);
}

void TListView::AddColumn(const TListColumn& column) {
  FColumns.push_back(column);
  SyncColumns();
}

void TListView::SyncColumns() {
  QStringList labels;
  for (const TListColumn& c : FColumns) labels << QString::fromStdString(c.Caption);
  Tree()->setColumnCount(static_cast<int>(FColumns.size()));
  Tree()->setHeaderLabels(labels);
  for (std::size_t i = 0; i < FColumns.size(); ++i)
    Tree()->setColumnWidth(static_cast<int>(i), FColumns[i].Width);
}

TListItem* TListView::AddItem() {
  FItems.push_back(std::unique_ptr<TListItem>(new TListItem(this, static_cast<int>(FItems.size()))));
  Tree()->addTopLevelItem(new QTreeWidgetItem);
  FItems.back()->Sync();
  return FItems.back().get();
}

TListItem* TListView::ItemAt(int x, int y) const {
  QPoint p = Tree()->viewport()->mapFrom(Tree(), QPoint(x, y));
  if (!Tree()->viewport()->rect().contains(p)) return nullptr;
  QTreeWidgetItem* item = Tree()->itemAt(p);
  int index = item ? Tree()->indexOfTopLevelItem(item) : -1;
  return index >= 0 ? FItems[static_cast<std::size_t>(index)].get() : nullptr;
}

TListItem* TListView::DropTarget() const {
  for (const auto& item : FItems)
    if (item->FDropTarget) return item.get();
  return nullptr;
}

TListItem* TListView::Selected() const {
  for (const auto& item : FItems)
    if (item->Selected()) return item.get();
  return nullptr;
}

void TListView::SetDropTarget(TListItem* target) {
  for (auto& item : FItems) {
    bool mark = item.get() == target;
    if (item->FDropTarget != mark) {
      item->FDropTarget = mark;
      item->Sync();
    }
  }
}

void TListView::DragOver(TObject* source, int x, int y, TDragState state, bool& accept) {
  TControl::DragOver(source, x, y, state, accept);
  // The mark follows an accepted drag from row to row and goes with it.
  SetDropTarget(state != TDragState::dsDragLeave && accept ? ItemAt(x, y) : nullptr);
}

bool TListView::DragImage(int x, int y, TDragImage& image) const {
  TListItem* item = ItemAt(x, y);
  if (!item) return TControl::DragImage(x, y, image);
  QTreeWidgetItem* row = Tree()->topLevelItem(item->Index());
  QRect rect = Tree()->visualItemRect(row);
  rect.setLeft(0);
  rect.setRight(std::max(rect.right(), Tree()->header()->length() - 1));
  image.Pixmap = Tree()->viewport()->grab(rect);
  image.HotSpot = Tree()->viewport()->mapFrom(Tree(), QPoint(x, y)) - rect.topLeft();
  return !image.Pixmap.isNull();
}

void TListView::ChangeScale(int multiplier, int divisor) {
  TControl::ChangeScale(multiplier, divisor);
  for (TListColumn& c : FColumns) c.Width = MulDiv(c.Width, multiplier, divisor);
  SyncColumns();
}

bool TListView::SetLayoutProperty(const std::string& name, const TLayoutValue& v, TLayoutLoader& loader) {
  if (name == "ViewStyle") {
    if (loader.Enum<TViewStyle>(v, {{"vsIcon", TViewStyle::vsIcon},
                                    {"vsSmallIcon", TViewStyle::vsSmallIcon},
                                    {"vsList", TViewStyle::vsList},
                                    {"vsReport", TViewStyle::vsReport}}) != TViewStyle::vsReport)
      loader.Fail("only report view is supported");
  } else if (name == "Checkboxes") {
    SetCheckboxes(loader.Bool(v));
  } else if (name == "RowSelect") {
    SetRowSelect(loader.Bool(v));
  } else if (name == "HideSelection") {
    SetHideSelection(loader.Bool(v));
  } else {
    return TControl::SetLayoutProperty(name, v, loader);
  }
  return true;
}

bool TListView::AddLayoutEntry(const TLayoutObject& entry, TLayoutLoader& loader) {
  if (entry.Keyword == "column") {
    TListColumn column;
    for (const TLayoutProperty& p : entry.Properties) {
      loader.At(p);
      if (p.Name == "Caption")
        column.Caption = loader.String(p.Value);
      else if (p.Name == "Width")
        column.Width = loader.Int(p.Value);
      else
        loader.Fail("no such property of a column");
    }
    AddColumn(column);
    return true;
  }
  if (entry.Keyword != "item") return false;
  TListItem* item = AddItem();
  for (const TLayoutProperty& p : entry.Properties) {
    loader.At(p);
    if (p.Name == "Caption")
      item->SetCaption(loader.String(p.Value));
    else if (p.Name == "SubItems")
      item->SetSubItems(loader.Strings(p.Value));
    else if (p.Name == "ImageIndex")
      item->ImageIndex = loader.Int(p.Value);
    else if (p.Name == "StateIndex")
      item->StateIndex = loader.Int(p.Value);
    else if (p.Name == "OverlayIndex")
      item->OverlayIndex = loader.Int(p.Value);
    else if (p.Name == "Checked")
      item->SetChecked(loader.Bool(p.Value));
    else
      loader.Fail("no such property of a list item");
  }
  return true;
}

void TListItem::SetCaption(const std::string& caption) {
  FCaption = caption;
  Sync();
}

void TListItem::SetSubItems(std::vector<std::string> subItems) {
  FSubItems = std::move(subItems);
  Sync();
}

void TListItem::SetChecked(bool checked) {
  FChecked = checked;
  Sync();
}

bool TListItem::Selected() const {
  QTreeWidgetItem* row = FOwner->Tree()->topLevelItem(Index());
  return row && row->isSelected();
}

void TListItem::SetSelected(bool selected) {
  if (QTreeWidgetItem* row = FOwner->Tree()->topLevelItem(Index())) row->setSelected(selected);
}

void TListItem::Sync() {
  QTreeWidgetItem* row = FOwner->Tree()->topLevelItem(Index());
  if (!row) return;
  // While the widget is told what the item holds, its change signals are
  // not the user's; the flag drops however this ends.
  struct TSyncing {
    bool& Flag;
    explicit TSyncing(bool& flag) : Flag(flag) { Flag = true; }
    ~TSyncing() { Flag = false; }
  } syncing(FOwner->FSyncing);
  row->setText(0, QString::fromStdString(FCaption));
  for (std::size_t i = 0; i < FSubItems.size(); ++i)
    row->setText(static_cast<int>(i) + 1, QString::fromStdString(FSubItems[i]));
  Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
  if (FOwner->FCheckboxes) {
    row->setFlags(flags | Qt::ItemIsUserCheckable);
    row->setCheckState(0, FChecked ? Qt::Checked : Qt::Unchecked);
  } else {
    row->setFlags(flags);
    row->setData(0, Qt::CheckStateRole, QVariant());
  }
  const QBrush mark =
      FDropTarget ? FOwner->Tree()->palette().brush(QPalette::Active, QPalette::Highlight) : QBrush();
  const QBrush markText =
      FDropTarget ? FOwner->Tree()->palette().brush(QPalette::Active, QPalette::HighlightedText) : QBrush();
  for (int c = 0; c < std::max(1, FOwner->ColumnCount()); ++c) {
    row->setBackground(c, mark);
    row->setForeground(c, markText);
  }
}

}  // namespace classlib
