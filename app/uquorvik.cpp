#include "uquorvik.h"

using namespace classlib;

TForm1* Form1 = nullptr;

void TForm1::Publish(TPublisher& p) {
  p.Field("ListView1", ListView1);
  p.Field("rbShowCheckboxes", rbShowCheckboxes);
  p.Field("rbNoCheckboxes", rbNoCheckboxes);
  p.Field("Button1", Button1);
  p.Handler<&TForm1::FormCreate>("FormCreate", this);
  p.Handler<&TForm1::rbCheckboxesClick>("rbCheckboxesClick", this);
  p.Handler<&TForm1::ListView1DragOver>("ListView1DragOver", this);
  p.Handler<&TForm1::Button1Click>("Button1Click", this);
}

void TForm1::FormCreate(TObject*) { Application->HelpFile = "Quorvik.chm"; }

void TForm1::rbCheckboxesClick(TObject*) { ListView1->SetCheckboxes(rbShowCheckboxes->Checked()); }

void TForm1::ListView1DragOver(TObject*, TObject*, int, int, TDragState, bool& Accept) { Accept = true; }

void TForm1::Button1Click(TObject*) { Application->HelpContext(100); }

namespace uquorvik {
const TUnit& Unit() {
  static const TUnit unit{"uquorvik", nullptr, nullptr};
  return unit;
}
}  // namespace uquorvik
