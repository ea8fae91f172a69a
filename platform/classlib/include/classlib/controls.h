// TControl: the base of everything on screen. A control owns one toolkit
// widget, which the program never sees; it exposes the properties a stored
// layout sets (bounds, caption, font, alignment, tab order, help context,
// drag mode) and the events it raises. Qt stays out of this header.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "classlib/component.h"
#include "classlib/events.h"
#include "classlib/layout_parser.h"

class QWidget;

namespace classlib {

class TDragImage;
class TForm;
class TLayoutLoader;

using THelpContext = std::int32_t;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum class TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = std::set<TAnchorKind>;
enum class TDragMode { dmManual, dmAutomatic };
enum class TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
// Colours by role; they follow the desktop's palette.
enum class TColor { clDefault, clBtnFace, clWindow, clWindowText, clHighlight, clHighlightText };
// Pointer shapes of the drag and drop protocol.
enum class TCursor { crDefault, crDrag, crNoDrop };

struct TFont {
  std::string Name = "Arial";
  int Height = -14;  // negative: character height in pixels; positive: cell height
  std::string Charset = "DEFAULT_CHARSET";
  TColor Color = TColor::clWindowText;
  std::set<TFontStyle> Style;

  bool operator==(const TFont&) const = default;
};

class TControl : public TComponent {
 public:
  // Creates the control and its widget; the widget gets a parent when the
  // control is placed on a form (SetParentForm).
  TControl(TComponent* owner, QWidget* widget);
  ~TControl() override;

  TForm* ParentForm() const { return FParentForm; }

  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  void SetBounds(int left, int top, int width, int height);

  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign align);
  const TAnchors& Anchors() const { return FAnchors; }
  void SetAnchors(TAnchors anchors);

  virtual std::string Caption() const { return {}; }
  virtual void SetCaption(const std::string&) {}

  bool Visible() const;
  void SetVisible(bool visible);
  bool Enabled() const;
  void SetEnabled(bool enabled);

  // Tab order among the form's controls, from 0; applied when the form is built.
  int TabOrder() const { return FTabOrder; }
  void SetTabOrder(int order) { FTabOrder = order; }
  bool TabStop() const;
  virtual void SetTabStop(bool stop);
  bool Focused() const;
  void SetFocus();

  // Own help context; 0 means ask the parent (the form).
  THelpContext HelpContext() const { return FHelpContext; }
  void SetHelpContext(THelpContext context) { FHelpContext = context; }

  // Font: with ParentFont the control uses its form's font.
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool parentFont);
  const TFont& Font() const;
  void SetFont(const TFont& font);

  TDragMode DragMode() const { return FDragMode; }
  void SetDragMode(TDragMode mode) { FDragMode = mode; }
  bool Dragging() const;
  // Starts a drag with this control as source, as automatic drag mode does
  // past the threshold. immediate is kept for manual drags started by code.
  void BeginDrag(bool immediate);

  TNotifyEvent OnClick;
  TDragOverEvent OnDragOver;
  TDragDropEvent OnDragDrop;

  // Drag and drop as a target. DragOver raises OnDragOver (Accept starts false,
  // so a control without a handler refuses); DragDrop raises OnDragDrop.
  virtual void DragOver(TObject* source, int x, int y, TDragState state, bool& accept);
  virtual void DragDrop(TObject* source, int x, int y);
  // The drag image: a picture of what is dragged, from the press point.
  virtual bool DragImage(int x, int y, TDragImage& image) const;

  // The toolkit widget; for the class library and its tests only.
  QWidget* Widget() const { return FWidget; }

  // Applies one stored-layout property; false when the control has none of
  // that name. Value errors are raised through the loader, naming the line.
  virtual bool SetLayoutProperty(const std::string& name, const TLayoutValue& value, TLayoutLoader& loader);
  // Takes a collection entry ("column", "item") of a stored layout; false
  // when the control has no such collection.
  virtual bool AddLayoutEntry(const TLayoutObject& entry, TLayoutLoader& loader);
  // The name of the handler bound to an event property ("OnClick"), or "".
  const char* HandlerName(const std::string& event) const;
  void SetHandlerName(const std::string& event, std::string handler);

 protected:
  // Raises OnClick through the dispatch point.
  void Click();
  // Scales bounds and own font; called by the form when the density differs.
  virtual void ChangeScale(int multiplier, int divisor);
  virtual void FontChanged() {}

 private:
  friend class TForm;
  void SetParentForm(TForm* form);
  void ApplyFont();

  QWidget* FWidget;
  TForm* FParentForm = nullptr;
  TAlign FAlign = TAlign::alNone;
  TAnchors FAnchors{TAnchorKind::akLeft, TAnchorKind::akTop};
  int FTabOrder = -1;
  THelpContext FHelpContext = 0;
  bool FParentFont = true;
  TFont FFont;
  TDragMode FDragMode = TDragMode::dmManual;
  std::map<std::string, std::string> FHandlerNames;
};

}  // namespace classlib
