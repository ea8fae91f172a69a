#include "UseHTML.h"

namespace UseHTML {

using classlib::Application;

TUseHTMLHelp* HelpRouter = nullptr;

namespace {

// The help-on-help file.
const char* const ViewerHelpFile = "VIEWHLP.CHM";

THtmlHelpEntry viewer = nullptr;

void Initialize() {
  viewer = &HtmlHelpA;  // resolved once, as an import would be
  HelpRouter = new TUseHTMLHelp;
  Application->OnHelp = classlib::THelpEvent::Of<&TUseHTMLHelp::HelpHandler>(HelpRouter);
}

void Finalize() {
  // The hook goes first, so that no request can reach a freed router.
  if (Application) Application->OnHelp.Clear();
  delete HelpRouter;
  HelpRouter = nullptr;
}

}  // namespace

const classlib::TUnit& Unit() {
  static const classlib::TUnit unit{"UseHTML", Initialize, Finalize};
  return unit;
}

THtmlHelpEntry SetViewerEntry(THtmlHelpEntry entry) {
  THtmlHelpEntry previous = viewer;
  viewer = entry;
  return previous;
}

bool TUseHTMLHelp::HelpHandler(std::uint16_t Command, std::intptr_t Data, bool& CallHelp) {
  CallHelp = false;
  if (!viewer) return true;
  classlib::TForm* main = Application ? Application->MainForm() : nullptr;
  const HWND owner = main ? main->Handle() : 0;
  const std::string file = Application ? Application->HelpFile : std::string();
  const auto data = static_cast<std::uintptr_t>(Data);  // passed on bit for bit
  switch (Command) {
    case classlib::HELP_CONTEXT:
    case classlib::HELP_CONTEXTPOPUP:
      viewer(owner, file.c_str(), HH_HELP_CONTEXT, data);
      break;
    case classlib::HELP_QUIT:
      viewer(owner, nullptr, HH_CLOSE_ALL, 0);
      break;
    case classlib::HELP_HELPONHELP:
      viewer(owner, ViewerHelpFile, HH_DISPLAY_TOPIC, 0);
      break;
    case classlib::HELP_KEY:
    case classlib::HELP_PARTIALKEY:
      viewer(owner, file.c_str(), HH_DISPLAY_INDEX, data);
      break;
    default:
      viewer(owner, file.c_str(), HH_DISPLAY_TOC, 0);
      break;
  }
  return true;
}

}  // namespace UseHTML
