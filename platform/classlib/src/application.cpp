#include "classlib/application.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cerrno>

#include "classlib/dispatch.h"
#include "classlib/exceptions.h"
#include "classlib/resources.h"
#include "classlib_p.h"

namespace classlib {

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

namespace detail {
void SetDefaultExceptionHandler(TExceptionHandler handler);
}

namespace {

QApplication* qtApplication = nullptr;

// The class library's default exception handling.
void ShowError(std::exception_ptr error, const char*) {
  std::string message = "Unknown error.";
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
  }
  if (Application) Application->ShowException(message);
}

// F1 anywhere in a form asks for help on the focused control's context.
class THelpKeyFilter : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress || !Application) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier || key->isAutoRepeat()) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    TControl* control = widget ? ControlOf(widget) : nullptr;
    if (!control) return false;
    TForm* form = control->ParentForm() ? control->ParentForm() : dynamic_cast<TForm*>(control);
    if (!form) return false;
    // The nearest context from the focused control up to its form.
    THelpContext context = control->HelpContext();
    if (context == 0) context = form->HelpContext();
    if (context != 0) {
      const bool popup = form->BorderIcons().count(TBorderIcon::biHelp) != 0;
      Application->HelpCommand(popup ? HELP_CONTEXTPOPUP : HELP_CONTEXT, context);
    }
    return true;
  }
};

// The application icon MAINICON, from the executable's resources.
void LoadApplicationIcon() {
  std::optional<std::string_view> icon = FindResource("MAINICON");
  QPixmap picture;
  if (icon &&
      picture.loadFromData(reinterpret_cast<const uchar*>(icon->data()), static_cast<uint>(icon->size())))
    QApplication::setWindowIcon(QIcon(picture));
}

void InitializeUnit() {
  // Positions and sizes are the class library's to scale (its own rule);
  // Qt must report the screen's real density with a device ratio of 1.
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
  static int argc = ArgCount();
  static char noName[] = "Quorvik";
  static char* fallback[] = {noName, nullptr};
  char** argv = ArgCount() > 0 ? ArgValues() : fallback;
  if (argc == 0) argc = 1;
  qtApplication = new QApplication(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  qtApplication->installEventFilter(new THelpKeyFilter(qtApplication));
  detail::SetDefaultExceptionHandler(ShowError);
  Screen = new TScreen;
  Application = new TApplication;
}

void FinalizeUnit() {
  CancelDrag();
  delete Application;
  Application = nullptr;
  delete Screen;
  Screen = nullptr;
  detail::SetDefaultExceptionHandler(nullptr);
  delete qtApplication;
  qtApplication = nullptr;
}

const TUnit unit{"classlib", InitializeUnit, FinalizeUnit};

}  // namespace

const TUnit& Unit() { return unit; }

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() { DestroyComponents(); }

void TApplication::Initialize() {}

void TApplication::FormCreated(TForm* form) {
  form->Load();
  if (!FMainForm) {
    FMainForm = form;
    form->Handle();  // the main window's native window exists from here on
  }
}

void TApplication::Run() {
  if (FMainForm) FMainForm->Show();
  // The icon is decoded once the loop runs: the window need not wait for it
  // to appear, and Qt hands it to every window then.
  QTimer::singleShot(0, qtApplication, LoadApplicationIcon);
  if (!FTerminated) QApplication::exec();
}

void TApplication::Terminate() {
  FTerminated = true;
  // exit(), not quit(): quit() would first try to close every window.
  QApplication::exit(0);
}

void TApplication::ProcessMessages() { QApplication::processEvents(); }

std::string TApplication::Title() const {
  if (!FTitle.empty()) return FTitle;
  return QFileInfo(QApplication::applicationFilePath()).fileName().toStdString();
}

bool TApplication::HelpContext(THelpContext context) { return HelpCommand(HELP_CONTEXT, context); }

bool TApplication::HelpKeyword(const std::string& keyword) {
  return HelpCommand(HELP_COMMAND, reinterpret_cast<std::intptr_t>(keyword.c_str()));
}

bool TApplication::HelpCommand(std::uint16_t command, std::intptr_t data) {
  bool callHelp = true;
  bool handled = false;
  TForm* active = Screen ? Screen->ActiveForm() : nullptr;
  const THelpEvent* hook = active && active->OnHelp ? &active->OnHelp : OnHelp ? &OnHelp : nullptr;
  if (hook) {
    const char* name = active && hook == &active->OnHelp ? active->HandlerName("OnHelp") : "OnHelp";
    Dispatch(name, [&] { handled = (*hook)(command, data, callHelp); });
  }
  if (!hook || (callHelp && !handled)) handled = BuiltInHelp(command, data);
  return handled;
}

bool TApplication::BuiltInHelp(std::uint16_t command, std::intptr_t data) {
  // The class library has no help system of its own on this platform; it
  // says so, without blocking, so that a request that got this far is seen.
  auto* box = new QMessageBox(QMessageBox::Information, QString::fromStdString(Title()),
                              QString::fromStdString(BuiltInHelpMessage(HelpFile, command, data)),
                              QMessageBox::Ok, FMainForm ? FMainForm->Widget() : nullptr);
  box->setObjectName("classlib.builtinhelp");
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setModal(false);
  box->show();
  return false;
}

std::string BuiltInHelpMessage(const std::string& file, std::uint16_t command, std::intptr_t data) {
  std::string what = command == HELP_CONTEXT || command == HELP_CONTEXTPOPUP
                         ? "context " + std::to_string(data)
                         : "help command " + std::to_string(command);
  return "No help is available for file \"" + file + "\", " + what + ": no help viewer took the request.";
}

void TApplication::ShowException(const std::string& message) {
  QMessageBox box(QMessageBox::Critical, QString::fromStdString(Title()), QString::fromStdString(message),
                  QMessageBox::Ok, FMainForm ? FMainForm->Widget() : nullptr);
  box.setObjectName("classlib.exception");
  box.exec();
}

int TScreen::PixelsPerInch() const {
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? qRound(screen->logicalDotsPerInchY()) : 96;
}

TForm* TScreen::ActiveForm() const {
  QWidget* window = QApplication::activeWindow();
  return window ? dynamic_cast<TForm*>(ControlOf(window)) : nullptr;
}

}  // namespace classlib
