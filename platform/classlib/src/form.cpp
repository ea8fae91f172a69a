#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QWidget>
#include <algorithm>

#include "classlib/application.h"
#include "classlib/dispatch.h"
#include "classlib/resources.h"
#include "classlib_p.h"
#include "scaling_p.h"

namespace classlib {
namespace {

// The form's top-level window: closing the main form ends the application,
// and resizing re-lays out aligned and anchored controls.
class TFormWidget : public QWidget {
 public:
  TFormWidget() : QWidget(nullptr, Qt::Window) {}
  TForm* Form = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->accept();
    if (Application && Form && Application->MainForm() == Form) Application->Terminate();
  }
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    if (Form) Form->AlignControls();
  }
};

}  // namespace

int TextHeightOf(const TFont& font) {
  QFontMetrics metrics(ToQFont(font));
  return metrics.ascent() + metrics.descent();
}

TForm::TForm(TComponent* owner) : TControl(owner, new TFormWidget) {
  static_cast<TFormWidget*>(Widget())->Form = this;
  Widget()->setAutoFillBackground(true);
  SetFont(TFont{});
  SetColor(FColor);
  UpdateWindowFlags();
}

TForm::~TForm() {
  static_cast<TFormWidget*>(Widget())->Form = nullptr;
  // The controls' widgets are children of this window: free the controls
  // while the window still stands.
  DestroyComponents();
}

std::string TForm::Caption() const { return Widget()->windowTitle().toStdString(); }
void TForm::SetCaption(const std::string& caption) {
  Widget()->setWindowTitle(QString::fromStdString(caption));
}

int TForm::ClientWidth() const { return Widget()->width(); }
int TForm::ClientHeight() const { return Widget()->height(); }
void TForm::SetClientSize(int width, int height) { Widget()->resize(width, height); }

void TForm::SetBorderIcons(TBorderIcons icons) {
  FBorderIcons = std::move(icons);
  UpdateWindowFlags();
}

void TForm::UpdateWindowFlags() {
  Qt::WindowFlags flags = Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint;
  if (FBorderIcons.count(TBorderIcon::biSystemMenu))
    flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (FBorderIcons.count(TBorderIcon::biMinimize)) flags |= Qt::WindowMinimizeButtonHint;
  if (FBorderIcons.count(TBorderIcon::biMaximize)) flags |= Qt::WindowMaximizeButtonHint;
  if (FBorderIcons.count(TBorderIcon::biHelp)) flags |= Qt::WindowContextHelpButtonHint;
  const bool visible = Widget()->isVisible();
  Widget()->setWindowFlags(flags);
  if (visible) Widget()->show();
}

void TForm::SetColor(TColor color) {
  FColor = color;
  ApplyColors(Widget(), TColor::clDefault, color);
}

TControl* TForm::ActiveControl() const {
  QWidget* focus = Widget()->focusWidget();
  TControl* control = focus ? ControlOf(focus) : nullptr;
  return control == this ? nullptr : control;
}

void TForm::Show() { Widget()->show(); }
void TForm::Hide() { Widget()->hide(); }
void TForm::Close() { Widget()->close(); }
bool TForm::Showing() const { return Widget()->isVisible(); }
std::uintptr_t TForm::Handle() const { return static_cast<std::uintptr_t>(Widget()->winId()); }

void TForm::InsertControl(TControl* control) {
  FControls.push_back(control);
  control->SetParentForm(this);
}

void TForm::RemoveControl(TControl* control) {
  FControls.erase(std::remove(FControls.begin(), FControls.end(), control), FControls.end());
  FAnchorRules.erase(control);
}

void TForm::Load() {
  const std::string name = ClassName();
  std::optional<std::string_view> text = FindResource(name);
  if (!text) throw ELayoutError(name, 0, "", "no stored layout for class " + name);
  LoadFromText(*text, name);
}

void TForm::LoadFromText(std::string_view text, std::string_view source) {
  if (FLoaded) throw ELayoutError(std::string(source), 0, "", "form is already built");
  FLoaded = true;
  TLayoutObject root = ParseLayout(text, source);
  TLayoutLoader loader(*this, std::string(source));
  loader.Apply(root);
  ScaleToScreen();
  AlignControls();
  RecordAnchors();
  ApplyTabOrder();
  if (OnCreate) Dispatch(HandlerName("OnCreate"), [this] { OnCreate(this); });
}

void TForm::ScaleToScreen() {
  const int screen = Screen ? Screen->PixelsPerInch() : FPixelsPerInch;
  if (FTextHeight <= 0) FTextHeight = TextHeightOf(Font());
  if (screen == FPixelsPerInch) return;
  // Fonts follow the density; positions and sizes follow the text height
  // that the scaled font really has.
  auto scaleFont = [&](TFont font) {
    font.Height = MulDiv(font.Height, screen, FPixelsPerInch);
    return font;
  };
  SetFont(scaleFont(Font()));
  for (TControl* c : FControls)
    if (!c->ParentFont()) c->SetFont(scaleFont(c->Font()));
  const int height = TextHeightOf(Font());
  for (TControl* c : FControls) c->ChangeScale(height, FTextHeight);
  SetClientSize(MulDiv(ClientWidth(), height, FTextHeight), MulDiv(ClientHeight(), height, FTextHeight));
  FPixelsPerInch = screen;
  FTextHeight = height;
}

void TForm::AlignControls() {
  QRect rest(0, 0, ClientWidth(), ClientHeight());
  for (TAlign pass : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient}) {
    for (TControl* c : FControls) {
      if (c->Align() != pass) continue;
      switch (pass) {
        case TAlign::alTop:
          c->SetBounds(rest.left(), rest.top(), rest.width(), c->Height());
          rest.setTop(rest.top() + c->Height());
          break;
        case TAlign::alBottom:
          c->SetBounds(rest.left(), rest.bottom() + 1 - c->Height(), rest.width(), c->Height());
          rest.setBottom(rest.bottom() - c->Height());
          break;
        case TAlign::alLeft:
          c->SetBounds(rest.left(), rest.top(), c->Width(), rest.height());
          rest.setLeft(rest.left() + c->Width());
          break;
        case TAlign::alRight:
          c->SetBounds(rest.right() + 1 - c->Width(), rest.top(), c->Width(), rest.height());
          rest.setRight(rest.right() - c->Width());
          break;
        case TAlign::alClient:
          c->SetBounds(rest.left(), rest.top(), rest.width(), rest.height());
          break;
        case TAlign::alNone:
          break;
      }
    }
  }
  // Anchored controls keep their distances to the anchored edges.
  for (auto& [c, rule] : FAnchorRules) {
    if (c->Align() != TAlign::alNone) continue;
    const TAnchors& a = c->Anchors();
    int left = c->Left(), top = c->Top(), width = c->Width(), height = c->Height();
    if (a.count(TAnchorKind::akRight)) {
      if (a.count(TAnchorKind::akLeft))
        width = std::max(0, ClientWidth() - rule.Left - rule.Right);
      else
        left = ClientWidth() - rule.Right - width;
    }
    if (a.count(TAnchorKind::akBottom)) {
      if (a.count(TAnchorKind::akTop))
        height = std::max(0, ClientHeight() - rule.Top - rule.Bottom);
      else
        top = ClientHeight() - rule.Bottom - height;
    }
    c->SetBounds(left, top, width, height);
  }
}

void TForm::RecordAnchors() {
  FAnchorRules.clear();
  for (TControl* c : FControls)
    FAnchorRules[c] = {c->Left(),
                       c->Top(),
                       ClientWidth() - c->Left() - c->Width(),
                       ClientHeight() - c->Top() - c->Height(),
                       c->Width(),
                       c->Height()};
}

void TForm::ApplyTabOrder() {
  std::vector<TControl*> order = FControls;
  std::stable_sort(order.begin(), order.end(),
                   [](TControl* a, TControl* b) { return a->TabOrder() < b->TabOrder(); });
  for (std::size_t i = 0; i < order.size(); ++i) {
    order[i]->SetTabOrder(static_cast<int>(i));
    if (i > 0) QWidget::setTabOrder(order[i - 1]->Widget(), order[i]->Widget());
  }
}

}  // namespace classlib
