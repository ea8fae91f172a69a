// The application object: one per process, reached through Application. It
// owns the forms, runs the message loop, and routes help requests; the
// module unit (Unit()) creates it and the screen object at start-up and
// frees them at shutdown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "classlib/forms.h"
#include "classlib/units.h"

namespace classlib {

// Help command numbers of the help hook.
inline constexpr std::uint16_t HELP_CONTEXT = 0x0001;
inline constexpr std::uint16_t HELP_QUIT = 0x0002;
inline constexpr std::uint16_t HELP_CONTENTS = 0x0003;
inline constexpr std::uint16_t HELP_HELPONHELP = 0x0004;
inline constexpr std::uint16_t HELP_CONTEXTPOPUP = 0x0008;
inline constexpr std::uint16_t HELP_FINDER = 0x000B;
inline constexpr std::uint16_t HELP_SETPOPUP_POS = 0x000D;
inline constexpr std::uint16_t HELP_KEY = 0x0101;
inline constexpr std::uint16_t HELP_COMMAND = 0x0102;
inline constexpr std::uint16_t HELP_PARTIALKEY = 0x0105;

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;

  void Initialize();

  // Creates a form of class T owned by the application, stores it in
  // reference before it is built (so its handlers can use it), builds it from
  // its stored layout and raises its OnCreate. The first form created becomes
  // MainForm, and its native window is created.
  template <typename T>
  void CreateForm(T*& reference) {
    T* form = new T(this);
    reference = form;
    FormCreated(form);
  }

  // Shows the main form and processes messages until Terminate(); closing
  // the main form terminates, whatever other windows are open.
  void Run();
  void Terminate();
  bool Terminated() const { return FTerminated; }
  // Handles the messages waiting now and returns.
  void ProcessMessages();

  TForm* MainForm() const { return FMainForm; }
  // The executable's name unless set.
  std::string Title() const;
  void SetTitle(const std::string& title) { FTitle = title; }

  // The application's help file; the help hook reads it.
  std::string HelpFile;
  // The application's help hook, asked when the active form has none.
  THelpEvent OnHelp;

  // Asks for help on context: HELP_CONTEXT with data context.
  bool HelpContext(THelpContext context);
  // Asks for key-word help: HELP_COMMAND with the key word's address.
  bool HelpKeyword(const std::string& keyword);
  // Offers a help request to the active form's hook, else the application's,
  // and goes on to the class library's own help system only when the hook
  // leaves CallHelp set and returns false (or there is no hook). Returns
  // whether the request was handled.
  bool HelpCommand(std::uint16_t command, std::intptr_t data);

  // The class library's default exception handling: a message box with the
  // error's message, titled with Title(); then the loop goes on.
  void ShowException(const std::string& message);

 private:
  void FormCreated(TForm* form);
  bool BuiltInHelp(std::uint16_t command, std::intptr_t data);

  TForm* FMainForm = nullptr;
  std::string FTitle;
  bool FTerminated = false;
};

// Screen facts the class library's scaling uses.
class TScreen {
 public:
  // Logical pixels per inch of the primary screen.
  int PixelsPerInch() const;
  // The form whose window is active, or nullptr.
  TForm* ActiveForm() const;
};

extern TApplication* Application;
extern TScreen* Screen;

// The class library's module: creates the toolkit's application, Application
// and Screen at initialization; frees the forms, Application and the toolkit
// at finalization.
const TUnit& Unit();

}  // namespace classlib
