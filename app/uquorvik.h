// The main window: a checkable list of nine rows, two radio buttons that show
// or hide the list's check boxes, and a Help button.
#pragma once

#include "classlib/application.h"
#include "classlib/comctrls.h"
#include "classlib/stdctrls.h"

class TForm1 : public classlib::TForm {
 public:
  using TForm::TForm;

  classlib::TListView* ListView1 = nullptr;
  classlib::TRadioButton* rbShowCheckboxes = nullptr;
  classlib::TRadioButton* rbNoCheckboxes = nullptr;
  classlib::TButton* Button1 = nullptr;

  void FormCreate(classlib::TObject* Sender);
  void rbCheckboxesClick(classlib::TObject* Sender);
  void ListView1DragOver(classlib::TObject* Sender, classlib::TObject* Source, int X, int Y,
                         classlib::TDragState State, bool& Accept);
  void Button1Click(classlib::TObject* Sender);

 protected:
  void Publish(classlib::TPublisher& p) override;
};

extern TForm1* Form1;

namespace uquorvik {
// The window's module; it does no work at initialization or finalization.
const classlib::TUnit& Unit();
}  // namespace uquorvik
