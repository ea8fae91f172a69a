// TListView: a list of rows in columns ("report view"), with optional check
// boxes, whole-row selection, and a drop-target mark for drag and drop.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "classlib/controls.h"

namespace classlib {

class TListView;

class TListColumn {
 public:
  std::string Caption;
  int Width = 50;
};

class TListItem {
 public:
  std::string Caption() const { return FCaption; }
  void SetCaption(const std::string& caption);
  const std::vector<std::string>& SubItems() const { return FSubItems; }
  void SetSubItems(std::vector<std::string> subItems);
  int ImageIndex = -1;
  int StateIndex = -1;
  int OverlayIndex = -1;
  void* Data = nullptr;  // attached data of the program; the list never reads it

  // The row's check mark. Kept while the list's check boxes are hidden and
  // shown again with them.
  bool Checked() const { return FChecked; }
  void SetChecked(bool checked);
  bool Selected() const;
  void SetSelected(bool selected);
  bool DropTarget() const { return FDropTarget; }
  int Index() const { return FIndex; }

 private:
  friend class TListView;
  TListItem(TListView* owner, int index) : FOwner(owner), FIndex(index) {}
  void Sync();
  TListView* FOwner;
  int FIndex;  // the row; rows are only ever appended
  std::string FCaption;
  std::vector<std::string> FSubItems;
  bool FChecked = false;
  bool FDropTarget = false;
};

enum class TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

class TListView : public TControl {
 public:
  explicit TListView(TComponent* owner);
  ~TListView() override;

  TViewStyle ViewStyle() const { return TViewStyle::vsReport; }
  bool Checkboxes() const { return FCheckboxes; }
  // Shows or hides the rows' check boxes. Each row keeps its check mark;
  // nothing else of the list changes. Setting the same value does nothing.
  void SetCheckboxes(bool on);
  bool RowSelect() const { return FRowSelect; }
  void SetRowSelect(bool on);
  bool HideSelection() const { return FHideSelection; }
  void SetHideSelection(bool on);

  int ColumnCount() const { return static_cast<int>(FColumns.size()); }
  const TListColumn& Column(int index) const { return FColumns.at(static_cast<std::size_t>(index)); }
  void AddColumn(const TListColumn& column);

  int ItemCount() const { return static_cast<int>(FItems.size()); }
  TListItem* Item(int index) const { return FItems.at(static_cast<std::size_t>(index)).get(); }
  TListItem* AddItem();
  // The row at a point of the list's client area, or nullptr.
  TListItem* ItemAt(int x, int y) const;
  TListItem* DropTarget() const;
  TListItem* Selected() const;

  void DragOver(TObject* source, int x, int y, TDragState state, bool& accept) override;
  bool DragImage(int x, int y, TDragImage& image) const override;
  bool SetLayoutProperty(const std::string& name, const TLayoutValue& value, TLayoutLoader& loader) override;
  bool AddLayoutEntry(const TLayoutObject& entry, TLayoutLoader& loader) override;

 protected:
  void ChangeScale(int multiplier, int divisor) override;

 private:
  friend class TListItem;
  void SetDropTarget(TListItem* item);
  void SyncColumns();
  class TTree;
  TTree* Tree() const;

  std::vector<TListColumn> FColumns;
  std::vector<std::unique_ptr<TListItem>> FItems;
  bool FCheckboxes = false;
  bool FRowSelect = false;
  bool FHideSelection = true;
  bool FSyncing = false;    // the widget is being told what the items hold
  bool FRowsStale = false;  // a change of the check boxes did not reach every row
};

}  // namespace classlib
