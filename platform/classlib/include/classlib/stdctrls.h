// Push buttons and radio buttons.
#pragma once

#include "classlib/controls.h"

namespace classlib {

class TButton : public TControl {
 public:
  explicit TButton(TComponent* owner);
  std::string Caption() const override;
  void SetCaption(const std::string& caption) override;
  bool SetLayoutProperty(const std::string& name, const TLayoutValue& value, TLayoutLoader& loader) override;
  // Acts as a click by the user: raises OnClick.
  void Click() { TControl::Click(); }
};

// Radio buttons placed on the same form form one group: checking one
// unchecks the others. A button raises OnClick when it becomes checked (not
// when the user clicks the one already checked, and not while the form is
// being built from its layout). Only the checked button of a group is a tab
// stop, so Tab enters the group at its checked button.
class TRadioButton : public TControl {
 public:
  explicit TRadioButton(TComponent* owner);
  std::string Caption() const override;
  void SetCaption(const std::string& caption) override;
  bool Checked() const;
  void SetChecked(bool checked);
  bool SetLayoutProperty(const std::string& name, const TLayoutValue& value, TLayoutLoader& loader) override;

 private:
  void Toggled(bool checked);
};

}  // namespace classlib
