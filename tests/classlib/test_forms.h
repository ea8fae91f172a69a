// A small form class for the class library's tests: its handlers record what
// reached them.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "classlib/application.h"
#include "classlib/comctrls.h"
#include "classlib/stdctrls.h"

class TTestForm : public classlib::TForm {
 public:
  using TForm::TForm;
  classlib::TButton* Button1 = nullptr;
  classlib::TRadioButton* Radio1 = nullptr;
  classlib::TRadioButton* Radio2 = nullptr;
  classlib::TListView* List1 = nullptr;
  std::vector<std::string> Calls;
  bool ThrowOnClick = false;
  bool HookResult = false;
  bool HookClearsCallHelp = false;

  void Clicked(classlib::TObject* sender) {
    Calls.push_back("Clicked:" + static_cast<classlib::TComponent*>(sender)->Name());
    if (ThrowOnClick) throw std::runtime_error("handler failed");
  }
  void Created(classlib::TObject*) { Calls.push_back("Created"); }
  void Over(classlib::TObject*, classlib::TObject*, int, int, classlib::TDragState, bool& accept) {
    accept = true;
  }
  bool Help(std::uint16_t command, std::intptr_t data, bool& callHelp) {
    Calls.push_back("FormHelp:" + std::to_string(command) + ":" + std::to_string(data));
    if (HookClearsCallHelp) callHelp = false;
    return HookResult;
  }

 protected:
  void Publish(classlib::TPublisher& p) override {
    p.Field("Button1", Button1);
    p.Field("Radio1", Radio1);
    p.Field("Radio2", Radio2);
    p.Field("List1", List1);
    p.Handler<&TTestForm::Clicked>("Clicked", this);
    p.Handler<&TTestForm::Created>("Created", this);
    p.Handler<&TTestForm::Over>("Over", this);
    p.Handler<&TTestForm::Help>("Help", this);
  }
};

inline const char* const TestLayout = R"(form TestForm : TTestForm
  Caption = "Test"
  ClientWidth = 300
  ClientHeight = 200
  PixelsPerInch = 120
  TextHeight = 16
  HelpContext = 7
  OnCreate = Created
  control Radio1 : TRadioButton
    Left = 8
    Top = 8
    Width = 120
    Height = 17
    Caption = "One"
    Checked = true
    OnClick = Clicked
  end
  control Radio2 : TRadioButton
    Left = 8
    Top = 30
    Width = 120
    Height = 17
    Caption = "Two"
    OnClick = Clicked
  end
  control Button1 : TButton
    Left = 150
    Top = 8
    Width = 90
    Height = 26
    Caption = "Go"
    HelpContext = 42
    OnClick = Clicked
  end
end
)";
