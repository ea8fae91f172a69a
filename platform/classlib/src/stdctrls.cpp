#include "classlib/stdctrls.h"

#include <QPushButton>
#include <QRadioButton>

#include "classlib/forms.h"
#include "classlib_p.h"

namespace classlib {
namespace {

// The whole of a radio button's bounds takes clicks, not only its circle and
// text, as users of the stored layouts expect.
class TRadioWidget : public QRadioButton {
 protected:
  bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

}  // namespace

TButton::TButton(TComponent* owner) : TControl(owner, new QPushButton) {
  auto* button = static_cast<QPushButton*>(Widget());
  button->setAutoDefault(false);
  QObject::connect(button, &QPushButton::clicked, button, [this] { Click(); });
}

std::string TButton::Caption() const { return static_cast<QPushButton*>(Widget())->text().toStdString(); }
void TButton::SetCaption(const std::string& caption) {
  static_cast<QPushButton*>(Widget())->setText(QString::fromStdString(caption));
}

bool TButton::SetLayoutProperty(const std::string& name, const TLayoutValue& v, TLayoutLoader& loader) {
  if (name != "Caption") return TControl::SetLayoutProperty(name, v, loader);
  SetCaption(loader.String(v));
  return true;
}

TRadioButton::TRadioButton(TComponent* owner) : TControl(owner, new TRadioWidget) {
  auto* button = static_cast<QRadioButton*>(Widget());
  button->setAutoExclusive(true);
  SetTabStop(false);  // only the checked button of the group is a tab stop
  QObject::connect(button, &QRadioButton::toggled, button, [this](bool checked) { Toggled(checked); });
}

std::string TRadioButton::Caption() const {
  return static_cast<QRadioButton*>(Widget())->text().toStdString();
}
void TRadioButton::SetCaption(const std::string& caption) {
  static_cast<QRadioButton*>(Widget())->setText(QString::fromStdString(caption));
}

bool TRadioButton::Checked() const { return static_cast<QRadioButton*>(Widget())->isChecked(); }
void TRadioButton::SetChecked(bool checked) { static_cast<QRadioButton*>(Widget())->setChecked(checked); }

void TRadioButton::Toggled(bool checked) {
  // Qt unchecks the sibling itself, which arrives here as checked == false.
  SetTabStop(checked);
  if (checked && !LayoutLoading()) Click();
}

bool TRadioButton::SetLayoutProperty(const std::string& name, const TLayoutValue& v, TLayoutLoader& loader) {
  if (name == "Caption") {
    SetCaption(loader.String(v));
  } else if (name == "Checked") {
    SetChecked(loader.Bool(v));
  } else {
    return TControl::SetLayoutProperty(name, v, loader);
  }
  return true;
}

}  // namespace classlib
