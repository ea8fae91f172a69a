// The program module: brings the modules up in their fixed order, creates the
// main window, runs the message loop until it closes, and takes the modules
// down in reverse order.
#include <iterator>

#include "UseHTML.h"
#include "classlib/application.h"
#include "classlib/units.h"
#include "crashreport/crashreport.h"
#include "uquorvik.h"

int main(int argc, char** argv) {
  // Module initialization, in dependency order; finalization runs in reverse
  // when the guard below goes away.
  static const classlib::TUnit units[] = {
      crashreport::Unit(),  // 1. the crash reporter, before anything that can fail
      classlib::Unit(),     // 2. the class library: Application and Screen
      UseHTML::Unit(),      // 3. the help router, hooked into Application
      uquorvik::Unit(),     // 4. the main window's module
  };
  classlib::TUnitsGuard modules = classlib::RunUnits(units, std::size(units), argc, argv);

  using classlib::Application;
  Application->Initialize();
  Application->HelpFile = "";
  Application->CreateForm(Form1);
  Application->Run();
  return 0;
}
