#include "crashreport/exception_box.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace crashreport {
namespace {

TBoxHook boxHook;

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The environment's answer (see the header), as a hook. It waits until the
// box is on screen (at most two seconds), so that the places it describes are
// those of the settled layout, which a message box changes while it shows.
void EnvironmentHook(QDialog& box) {
  QWindow* window = box.windowHandle();
  int waited = box.property("describeWaited").toInt();
  if ((!window || !window->isExposed()) && waited < 2000) {
    box.setProperty("describeWaited", waited + 10);
    QTimer::singleShot(10, &box, [&box] { EnvironmentHook(box); });
    return;
  }
  std::string answer = std::getenv("QUORVIK_CRASHBOX_ANSWER");
  std::string line =
      "crash box: " + box.objectName().toStdString() + "; title=" + box.windowTitle().toStdString();
  for (QLabel* label : box.findChildren<QLabel*>())
    if (!label->objectName().isEmpty() && !label->text().isEmpty())
      line += "; " + label->objectName().toStdString() + "=" + label->text().toStdString();
  // Each button with its place in the box, so that a test can press it with
  // real input: in the window's pixels, which differ from Qt's coordinates
  // by the screen's device pixel ratio.
  const qreal ratio = box.devicePixelRatioF();
  auto pixels = [ratio](int v) { return std::to_string(qRound(v * ratio)); };
  for (QPushButton* button : box.findChildren<QPushButton*>()) {
    QPoint at = button->mapTo(&box, QPoint(0, 0));
    line += "; button=" + button->text().toStdString() + (button->isEnabled() ? "" : " (disabled)") +
            (button->isDefault() ? " (focused)" : "") + " @" + pixels(at.x()) + "," + pixels(at.y()) + "," +
            pixels(button->width()) + "," + pixels(button->height());
  }
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  if (answer == "none") return;  // the user (or a test's real input) answers
  auto click = [&box](const char* name) {
    auto* button = box.findChild<QPushButton*>(name);
    if (button && button->isEnabled()) button->click();
    return button && button->isEnabled();
  };
  if (box.objectName() != "ExceptionBox") {
    if (!click("OkBtn")) box.accept();
    return;
  }
  if (answer == "show") {
    click("ShowBtn");  // runs the report view, answered by this hook, then closes
    answer = "close";
  }
  std::string name = answer;
  if (!name.empty()) name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
  if (!click((name + "Btn").c_str())) box.reject();
}

TBoxHook CurrentHook() {
  if (boxHook) return boxHook;
  const char* answer = std::getenv("QUORVIK_CRASHBOX_ANSWER");
  if (answer && *answer) return EnvironmentHook;
  return nullptr;
}

int Run(QDialog& box) {
  if (TBoxHook hook = CurrentHook()) QTimer::singleShot(0, &box, [&box, hook] { hook(box); });
  return box.exec();
}

void ShowReport(QWidget* parent, const TBoxModel& model) {
  QDialog view(parent);
  view.setObjectName("ReportView");
  view.setWindowTitle(Q(model.Title));
  auto* layout = new QVBoxLayout(&view);
  auto* text =
      new QPlainTextEdit(Q(model.Report.empty() ? "No bug report was made for this error." : model.Report));
  text->setObjectName("ReportText");
  text->setReadOnly(true);
  text->setLineWrapMode(QPlainTextEdit::NoWrap);
  text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  layout->addWidget(text);
  auto* ok = new QPushButton(Q(model.OkText));
  ok->setObjectName("OkBtn");
  QObject::connect(ok, &QPushButton::clicked, &view, &QDialog::accept);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(ok);
  layout->addLayout(row);
  view.resize(720, 480);
  Run(view);
}

class TExceptionBox : public QDialog {
 public:
  explicit TExceptionBox(const TBoxModel& model) : FModel(model) {
    setObjectName("ExceptionBox");
    setWindowTitle(Q(model.Title));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* icon = new QLabel;
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
    top->addWidget(icon, 0, Qt::AlignTop);
    auto* message = new QLabel(Q(model.Text));
    message->setObjectName("MessageLabel");
    message->setWordWrap(true);
    top->addWidget(message, 1);
    layout->addLayout(top);
    if (!model.Note.empty()) {
      auto* note = new QLabel(Q(model.Note));
      note->setObjectName("NoteLabel");
      note->setWordWrap(true);
      layout->addWidget(note);
    }
    auto* row = new QHBoxLayout;
    QPushButton* focused = nullptr;
    for (std::size_t i = 0; i < model.Buttons.size(); ++i) {
      const TBoxButton& b = model.Buttons[i];
      auto* button = new QPushButton(Q(b.Text));  // '&' marks the accelerator, as in the record
      button->setObjectName(Q(b.Id + "Btn"));
      button->setAutoDefault(false);
      row->addWidget(button);
      if (static_cast<int>(i) == model.Focused) focused = button;
      if (b.Id == "Continue") {
        button->setEnabled(model.CanContinue);
        connect(button, &QPushButton::clicked, this, [this] { done(1 + int(TBoxAnswer::Continue)); });
      } else if (b.Id == "Restart") {
        connect(button, &QPushButton::clicked, this, [this] { done(1 + int(TBoxAnswer::Restart)); });
      } else if (b.Id == "Close") {
        connect(button, &QPushButton::clicked, this, [this] { done(1 + int(TBoxAnswer::Close)); });
      } else if (b.Id == "Show") {
        connect(button, &QPushButton::clicked, this, [this] { ShowReport(this, FModel); });
      } else {
        // Sending, saving on request and printing come with the assistants.
        connect(button, &QPushButton::clicked, this, [this] {
          QMessageBox::information(
              this, Q(FModel.Title),
              "Sending bug reports is not available yet. The report has been saved to the "
              "bug report file and put on the clipboard.");
        });
      }
    }
    layout->addLayout(row);
    if (focused && focused->isEnabled()) {
      focused->setDefault(true);
      setFocusProxy(focused);
    }
  }

  // Closing the window (Esc, the title bar) continues where that is possible.
  void reject() override { done(1 + int(FModel.CanContinue ? TBoxAnswer::Continue : TBoxAnswer::Close)); }

 private:
  TBoxModel FModel;
};

}  // namespace

void SetBoxHookForTesting(TBoxHook hook) { boxHook = std::move(hook); }

void TQtPresenter::ShowWait(const std::string& title, const std::string& text) {
  if (!QApplication::instance()) return;
  HideWait();
  FWait = new QDialog(QApplication::activeWindow());
  FWait->setObjectName("WaitBox");
  FWait->setWindowTitle(Q(title));
  auto* layout = new QVBoxLayout(FWait);
  layout->addWidget(new QLabel(Q(text)));
  FWait->show();
  // Paint it now: the report is made on this thread right after.
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TQtPresenter::HideWait() {
  delete FWait;
  FWait = nullptr;
}

TBoxAnswer TQtPresenter::ShowExceptionBox(const TBoxModel& model) {
  if (!QApplication::instance()) {
    std::fprintf(stderr, "%s: %s\n", model.Title.c_str(), model.Text.c_str());
    return model.CanContinue ? TBoxAnswer::Continue : TBoxAnswer::Close;
  }
  TExceptionBox box(model);
  int result = Run(box);
  return result > 0 ? TBoxAnswer(result - 1) : (model.CanContinue ? TBoxAnswer::Continue : TBoxAnswer::Close);
}

void TQtPresenter::ShowMessage(const std::string& title, const std::string& text, const std::string& okText) {
  if (!QApplication::instance()) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    return;
  }
  QMessageBox box(QMessageBox::Warning, Q(title), Q(text), QMessageBox::NoButton,
                  QApplication::activeWindow());
  box.setObjectName("MessageBox");
  QPushButton* ok = box.addButton(Q(okText), QMessageBox::AcceptRole);
  ok->setObjectName("OkBtn");
  box.setDefaultButton(ok);
  Run(box);
}

void TQtPresenter::PutOnClipboard(const std::string& text) {
  if (QApplication::instance()) QApplication::clipboard()->setText(Q(text));
}

}  // namespace crashreport
