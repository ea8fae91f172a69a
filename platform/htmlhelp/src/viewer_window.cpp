#include <QDesktopServices>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "book_tabs_p.h"
#include "chm_book.h"
#include "topic_browser_p.h"
#include "viewer_window_p.h"

namespace htmlhelp {
namespace {

std::function<void(const QUrl&)>& externalOpener() {
  static std::function<void(const QUrl&)> opener = [](const QUrl& url) { QDesktopServices::openUrl(url); };
  return opener;
}

bool isExternal(const QUrl& url) {
  static const QStringList schemes = {QStringLiteral("http"), QStringLiteral("https"),
                                      QStringLiteral("mailto"), QStringLiteral("ftp")};
  return schemes.contains(url.scheme().toLower());
}

}  // namespace

void HelpViewerWindow::setExternalLinkOpener(std::function<void(const QUrl&)> opener) {
  externalOpener() = std::move(opener);
}

HelpViewerWindow::HelpViewerWindow(QString display_name, QString path, QWidget* owner)
    : QWidget(owner, Qt::Window), display_name_(std::move(display_name)), path_(std::move(path)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(tr("Help - %1").arg(display_name_));
  resize(820, 580);

  auto* toolbar = new QHBoxLayout;
  back_ = new QToolButton;
  back_->setText(tr("Back"));
  back_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
  back_->setEnabled(false);
  forward_ = new QToolButton;
  forward_->setText(tr("Forward"));
  forward_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
  forward_->setEnabled(false);
  auto* home = new QToolButton;
  home->setText(tr("Home"));
  toolbar->addWidget(back_);
  toolbar->addWidget(forward_);
  toolbar->addWidget(home);
  toolbar->addStretch();

  // A pale yellow box; a palette rather than a style sheet, which would
  // bring a whole style sheet engine into the window's first show.
  message_ = new QLabel;
  message_->setWordWrap(true);
  message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  message_->setFrameShape(QFrame::Box);
  message_->setMargin(6);
  message_->setAutoFillBackground(true);
  QPalette note = message_->palette();
  note.setColor(QPalette::Window, QColor(0xff, 0xf4, 0xc2));
  note.setColor(QPalette::WindowText, Qt::black);
  message_->setPalette(note);
  message_->hide();

  // The tabs cost more to build than a topic costs to show; until they are
  // needed, an empty pane of their width holds their place.
  browser_ = new TopicBrowser;
  splitter_ = new QSplitter;
  splitter_->addWidget(new QWidget);
  splitter_->addWidget(browser_);
  splitter_->setStretchFactor(1, 1);
  splitter_->setSizes({240, 580});

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(toolbar);
  layout->addWidget(message_);
  layout->addWidget(splitter_, 1);

  connect(back_, &QToolButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward_, &QToolButton::clicked, browser_, &QTextBrowser::forward);
  connect(home, &QToolButton::clicked, this, &HelpViewerWindow::showDefaultTopic);
  connect(browser_, &QTextBrowser::backwardAvailable, back_, &QToolButton::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QToolButton::setEnabled);
  connect(browser_, &QTextBrowser::anchorClicked, this, &HelpViewerWindow::openLink);
  // The title and the contents' selection follow a shown topic rather than
  // delay it: the title is a round of X requests, and moving the selection
  // scrolls and repaints a tree that may hold thousands of entries.
  connect(browser_, &QTextBrowser::sourceChanged, this, [this](const QUrl& url) {
    QMetaObject::invokeMethod(
        this,
        [this, object = url.path().toStdString()] {
          updateTitle();
          if (tabs_) tabs_->markTopic(object);
        },
        Qt::QueuedConnection);
  });
}

BookTabs* HelpViewerWindow::tabs() {
  if (tabs_) return tabs_;
  tabs_ = new BookTabs;
  connect(tabs_, &BookTabs::topicRequested, this, &HelpViewerWindow::showTopic);
  tabs_->setBook(book_.get());
  if (!currentTopic().isEmpty()) tabs_->markTopic(currentTopic().toStdString());
  delete splitter_->replaceWidget(0, tabs_);
  return tabs_;
}

// "Book title - topic title", so that the window list says what is shown.
void HelpViewerWindow::updateTitle() {
  QString title = book_title_.isEmpty() ? tr("Help - %1").arg(display_name_) : book_title_;
  const QString topic = browser_->documentTitle().trimmed();
  if (!topic.isEmpty() && topic != title) title += QStringLiteral(" - ") + topic;
  setWindowTitle(title);
}

HelpViewerWindow::~HelpViewerWindow() {
  // The browser and tabs hold raw pointers to the book; let them go first.
  browser_->setBook(nullptr);
  if (tabs_) tabs_->setBook(nullptr);
}

bool HelpViewerWindow::ensureBook() {
  if (book_) return true;
  if (path_.isEmpty()) {
    showMessage(tr("The help file \"%1\" was not found.").arg(display_name_));
    return false;
  }
  std::string error;
  book_ = ChmBook::open(path_.toStdString(), &error);
  if (!book_) {
    showMessage(tr("The help file \"%1\" cannot be opened: %2.")
                    .arg(display_name_, QString::fromLocal8Bit(error.c_str())));
    return false;
  }
  browser_->setBook(book_.get());
  if (tabs_) tabs_->setBook(book_.get());
  book_title_ = decodeBookText(book_->title(), book_->codePage());
  updateTitle();
  clearMessage();
  return true;
}

bool HelpViewerWindow::showTopic(const std::string& target) {
  if (!ensureBook()) return false;
  std::string object = book_->resolveTarget(target);
  if (object.empty()) {
    if (currentTopic().isEmpty()) showDefaultTopic();
    showMessage(tr("The help file \"%1\" has no topic \"%2\".")
                    .arg(display_name_, QString::fromLocal8Bit(target.c_str())));
    return false;
  }
  // Keep the anchor of "topic.htm#part" so the browser scrolls to it.
  QUrl url = topicUrl(object);
  if (std::size_t hash = target.find('#'); hash != std::string::npos && hash + 1 < target.size())
    url.setFragment(QString::fromLocal8Bit(target.substr(hash + 1).c_str()));
  clearMessage();
  // Shown first, so that the browser has its final width and lays the topic
  // out once, not once at a provisional width and again when shown.
  raiseWindow();
  browser_->setSource(url, QTextDocument::HtmlResource);
  // The tabs follow as soon as the topic is up.
  if (!tabs_) QTimer::singleShot(0, this, &HelpViewerWindow::tabs);
  return true;
}

bool HelpViewerWindow::showDefaultTopic() {
  if (!ensureBook()) return false;
  if (book_->defaultTopic().empty()) {
    showMessage(tr("The help file \"%1\" contains no topics.").arg(display_name_));
    return false;
  }
  return showTopic(book_->defaultTopic());
}

bool HelpViewerWindow::showContext(std::uint32_t context) {
  if (!ensureBook()) return false;
  std::optional<std::string> topic = book_->topicForContext(context);
  if (!topic) {
    if (currentTopic().isEmpty()) showDefaultTopic();
    showMessage(
        tr("The help file \"%1\" has no topic for context number %2.").arg(display_name_).arg(context));
    raiseWindow();
    return false;
  }
  return showTopic(*topic);
}

bool HelpViewerWindow::showContents() {
  if (!ensureBook()) return false;
  tabs()->setCurrentIndex(BookTabs::kContents);
  if (currentTopic().isEmpty()) return showDefaultTopic();
  raiseWindow();
  return true;
}

bool HelpViewerWindow::showIndex(const QString& keyword) {
  if (!ensureBook()) return false;
  if (currentTopic().isEmpty()) showDefaultTopic();
  tabs()->showIndexAt(keyword);
  raiseWindow();
  return true;
}

void HelpViewerWindow::openLink(const QUrl& link) {
  QUrl url = browser_->source().resolved(link);
  if (url.scheme() == QLatin1String(kBookScheme)) {
    std::string target = url.path().toStdString();
    if (url.hasFragment()) target += "#" + url.fragment().toStdString();
    showTopic(target);
  } else if (link.scheme().startsWith(QLatin1String("mk"), Qt::CaseInsensitive) ||
             link.scheme().compare(QLatin1String("ms-its"), Qt::CaseInsensitive) == 0) {
    showTopic(link.toString().toStdString());  // "mk:@MSITStore:this.chm::/x.htm": the part after "::"
  } else if (isExternal(url)) {
    externalOpener()(url);  // only ever on a click
  }
  // Anything else (javascript:, file:, unknown schemes) is ignored.
}

void HelpViewerWindow::showMessage(const QString& text) {
  message_->setText(text);
  message_->show();
  if (!book_) setWindowTitle(tr("Help - %1").arg(display_name_));
  raiseWindow();
}

void HelpViewerWindow::clearMessage() {
  // Clearing an empty, hidden line would still lay the window out again.
  if (message_->isHidden() && message_->text().isEmpty()) return;
  message_->clear();
  message_->hide();
}

QString HelpViewerWindow::currentTopic() const { return browser_->source().path(); }

QString HelpViewerWindow::message() const {
  return message_->isVisible() || !message_->text().isEmpty() ? message_->text() : QString();
}

void HelpViewerWindow::raiseWindow() {
  // A request must bring back a window the user minimized; show() alone
  // leaves it an icon.
  if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  // The window with the focus is in front already (a link followed inside
  // it, a second request from the same place); asking X for the focus costs
  // a round trip, so only a window without it is raised and activated.
  if (isActiveWindow()) return;
  raise();
  activateWindow();
}

}  // namespace htmlhelp
