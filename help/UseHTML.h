// The help router: the application's help hook, which turns every help
// request of the class library into one call of the HTML help viewer, so that
// the class library's own help system is never used.
#pragma once

#include <cstdint>

#include "classlib/application.h"
#include "htmlhelp/htmlhelp.h"

namespace UseHTML {

class TUseHTMLHelp : public classlib::TObject {
 public:
  // The application's help hook. Clears CallHelp, makes one viewer call
  // chosen by Command (context and pop-up: the topic for the context number;
  // quit: close all viewers; help on help: "VIEWHLP.CHM"; key word: the index
  // at that word; anything else: the table of contents), and returns true
  // whatever the viewer returns. Reads Application->HelpFile and the main
  // window's handle afresh at every call; with no main window the viewer gets
  // no owner. Raises nothing.
  bool HelpHandler(std::uint16_t Command, std::intptr_t Data, bool& CallHelp);
};

// The viewer's entry point as the router calls it.
using THtmlHelpEntry = HWND (*)(HWND owner, const char* file, unsigned int command, std::uintptr_t data);

// The one router of the process, from the module's initialization to its
// finalization; nullptr outside that time.
extern TUseHTMLHelp* HelpRouter;

// The module: initialization resolves the viewer's entry point, creates the
// router and fills both halves of Application->OnHelp with its HelpHandler;
// finalization empties the hook, then frees the router.
const classlib::TUnit& Unit();

// Replaces the viewer entry the router calls (tests); returns the previous.
THtmlHelpEntry SetViewerEntry(THtmlHelpEntry entry);

}  // namespace UseHTML
