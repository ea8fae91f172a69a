// One viewer window: a book's tabs on the left, the topic on the right,
// back / forward / home above, and a message line for what went wrong.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

class QLabel;
class QSplitter;
class QToolButton;

namespace htmlhelp {

class BookTabs;
class ChmBook;
class TopicBrowser;

class HelpViewerWindow : public QWidget {
  Q_OBJECT
 public:
  // `display_name` is the file name as asked for (used in messages);
  // `path` where it was found, or empty when it was not found.
  HelpViewerWindow(QString display_name, QString path, QWidget* owner);
  ~HelpViewerWindow() override;

  // (Re)reads the book when it is not loaded yet; false with the message
  // shown when it is missing or damaged.
  bool ensureBook();
  bool hasBook() const { return book_ != nullptr; }

  // Each returns false and shows the message when it cannot do what is asked.
  bool showDefaultTopic();
  bool showTopic(const std::string& target);  // a target as a book or caller names it
  bool showContext(std::uint32_t context);
  bool showContents();
  bool showIndex(const QString& keyword);

  // A message for the user, in the window itself (never a modal box).
  void showMessage(const QString& text);
  void clearMessage();

  void setPath(const QString& path) { path_ = path; }
  const QString& displayName() const { return display_name_; }

  // For tests and the benchmark.
  QString currentTopic() const;  // object name, e.g. "/main_window.htm"
  QString message() const;       // empty when none is shown
  // The contents / index / search tabs, built on first use (or right after
  // the first topic is shown).
  BookTabs* tabs();
  TopicBrowser* browser() const { return browser_; }

  // Where external links go (the desktop's browser by default).
  static void setExternalLinkOpener(std::function<void(const QUrl&)> opener);

 private:
  void openLink(const QUrl& url);
  void raiseWindow();
  void updateTitle();

  QString display_name_;
  QString book_title_;
  QString path_;
  std::unique_ptr<ChmBook> book_;
  QLabel* message_ = nullptr;
  QSplitter* splitter_ = nullptr;
  BookTabs* tabs_ = nullptr;  // null until tabs() builds them
  TopicBrowser* browser_ = nullptr;
  QToolButton* back_ = nullptr;
  QToolButton* forward_ = nullptr;
};

}  // namespace htmlhelp
