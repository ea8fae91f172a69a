#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QPointer>

#include "classlib/dispatch.h"
#include "classlib/forms.h"
#include "classlib_p.h"
#include "scaling_p.h"

namespace classlib {
namespace {

const char* const ControlProperty = "classlib.control";

// Passes the mouse events of every control's widget to the drag handling.
class TMouseFilter : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseMove:
      case QEvent::MouseButtonRelease:
      case QEvent::KeyPress:
        if (auto* widget = qobject_cast<QWidget*>(watched))
          if (TControl* control = ControlOf(widget)) return DragMouseEvent(control, widget, event);
        break;
      default:
        break;
    }
    return false;
  }
};

TMouseFilter* MouseFilter() {
  static TMouseFilter* filter = new TMouseFilter;  // lives as long as the process
  return filter;
}

QColor RoleColor(TColor color) {
  const QPalette palette = QApplication::palette();
  switch (color) {
    case TColor::clBtnFace:
      return palette.color(QPalette::Button);
    case TColor::clWindow:
      return palette.color(QPalette::Base);
    case TColor::clHighlight:
      return palette.color(QPalette::Highlight);
    case TColor::clHighlightText:
      return palette.color(QPalette::HighlightedText);
    case TColor::clWindowText:
    case TColor::clDefault:
      break;
  }
  return palette.color(QPalette::WindowText);
}

}  // namespace

TControl* ControlOf(const QWidget* widget) {
  for (const QWidget* w = widget; w; w = w->parentWidget())
    if (void* p = w->property(ControlProperty).value<void*>()) return static_cast<TControl*>(p);
  return nullptr;
}

void AttachControl(QWidget* widget, TControl* control) {
  widget->setProperty(ControlProperty, QVariant::fromValue<void*>(control));
  WatchMouse(widget);
}

void WatchMouse(QWidget* widget) { widget->installEventFilter(MouseFilter()); }

QFont ToQFont(const TFont& font) {
  QFont f(QString::fromStdString(font.Name));
  if (font.Height < 0) {
    f.setPixelSize(-font.Height);
  } else if (font.Height > 0) {
    // A positive height is the whole cell: the largest size that fits it.
    int size = font.Height;
    f.setPixelSize(size);
    while (size > 1 && QFontMetrics(f).height() > font.Height) f.setPixelSize(--size);
  }
  f.setBold(font.Style.count(TFontStyle::fsBold) != 0);
  f.setItalic(font.Style.count(TFontStyle::fsItalic) != 0);
  f.setUnderline(font.Style.count(TFontStyle::fsUnderline) != 0);
  f.setStrikeOut(font.Style.count(TFontStyle::fsStrikeOut) != 0);
  return f;
}

void ApplyColors(QWidget* widget, TColor text, TColor background) {
  QPalette palette = widget->palette();
  if (text != TColor::clDefault) {
    palette.setColor(QPalette::WindowText, RoleColor(text));
    palette.setColor(QPalette::ButtonText, RoleColor(text));
    palette.setColor(QPalette::Text, RoleColor(text));
  }
  if (background != TColor::clDefault) palette.setColor(QPalette::Window, RoleColor(background));
  widget->setPalette(palette);
}

TControl::TControl(TComponent* owner, QWidget* widget) : TComponent(owner), FWidget(widget) {
  AttachControl(FWidget, this);
}

TControl::~TControl() {
  if (FParentForm) FParentForm->RemoveControl(this);
  delete FWidget;
}

void TControl::SetParentForm(TForm* form) {
  FParentForm = form;
  FWidget->setParent(form->Widget());
  FWidget->show();
  if (FParentFont) ApplyFont();
}

int TControl::Left() const { return FWidget->x(); }
int TControl::Top() const { return FWidget->y(); }
int TControl::Width() const { return FWidget->width(); }
int TControl::Height() const { return FWidget->height(); }

void TControl::SetBounds(int left, int top, int width, int height) {
  FWidget->setGeometry(left, top, width, height);
}

void TControl::SetAlign(TAlign align) {
  FAlign = align;
  if (FParentForm) FParentForm->AlignControls();
}

void TControl::SetAnchors(TAnchors anchors) { FAnchors = std::move(anchors); }

bool TControl::Visible() const { return !FWidget->isHidden(); }
void TControl::SetVisible(bool visible) { FWidget->setVisible(visible); }
bool TControl::Enabled() const { return FWidget->isEnabled(); }
void TControl::SetEnabled(bool enabled) { FWidget->setEnabled(enabled); }

bool TControl::TabStop() const { return (FWidget->focusPolicy() & Qt::TabFocus) != 0; }
void TControl::SetTabStop(bool stop) { FWidget->setFocusPolicy(stop ? Qt::StrongFocus : Qt::ClickFocus); }
bool TControl::Focused() const { return FWidget->hasFocus(); }
void TControl::SetFocus() { FWidget->setFocus(Qt::OtherFocusReason); }

void TControl::SetParentFont(bool parentFont) {
  FParentFont = parentFont;
  ApplyFont();
}

const TFont& TControl::Font() const {
  if (FParentFont && FParentForm && FParentForm != this) return FParentForm->Font();
  return FFont;
}

void TControl::SetFont(const TFont& font) {
  FFont = font;
  FParentFont = false;
  ApplyFont();
}

void TControl::ApplyFont() {
  if (FParentFont && FParentForm && FParentForm != this) {
    FWidget->setFont(QFont());  // inherit the form's
    FWidget->setAttribute(Qt::WA_SetFont, false);
    ApplyColors(FWidget, FParentForm->Font().Color, TColor::clDefault);
  } else {
    FWidget->setFont(ToQFont(FFont));
    ApplyColors(FWidget, FFont.Color, TColor::clDefault);
  }
  FontChanged();
}

void TControl::ChangeScale(int multiplier, int divisor) {
  SetBounds(MulDiv(Left(), multiplier, divisor), MulDiv(Top(), multiplier, divisor),
            MulDiv(Width(), multiplier, divisor), MulDiv(Height(), multiplier, divisor));
}

void TControl::Click() {
  if (OnClick) Dispatch(HandlerName("OnClick"), [this] { OnClick(this); });
}

void TControl::DragOver(TObject* source, int x, int y, TDragState state, bool& accept) {
  if (OnDragOver) Dispatch(HandlerName("OnDragOver"), [&] { OnDragOver(this, source, x, y, state, accept); });
}

void TControl::DragDrop(TObject* source, int x, int y) {
  if (OnDragDrop) Dispatch(HandlerName("OnDragDrop"), [&] { OnDragDrop(this, source, x, y); });
}

bool TControl::DragImage(int x, int y, TDragImage& image) const {
  image.Pixmap = FWidget->grab();
  image.HotSpot = QPoint(x, y);
  return !image.Pixmap.isNull();
}

const char* TControl::HandlerName(const std::string& event) const {
  auto it = FHandlerNames.find(event);
  return it == FHandlerNames.end() ? "" : it->second.c_str();
}

void TControl::SetHandlerName(const std::string& event, std::string handler) {
  FHandlerNames[event] = std::move(handler);
}

}  // namespace classlib
