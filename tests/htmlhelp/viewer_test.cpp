// The viewer through HtmlHelpA, on the offscreen platform, with the built
// books. Private headers of the layer give access to the window's state.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTreeWidget>
#include <cstdlib>

#include "book_tabs_p.h"
#include "htmlhelp/htmlhelp.h"
#include "topic_browser_p.h"
#include "viewer_registry_p.h"
#include "viewer_window_p.h"

namespace htmlhelp {
namespace {

const QString kHelpDir = QStringLiteral(QUORVIK_HELP_DIR);

std::uintptr_t text(const char* s) { return reinterpret_cast<std::uintptr_t>(s); }

class ViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QDir::setCurrent(kHelpDir);  // bare names are found in the working folder
    HelpViewerWindow::setExternalLinkOpener([this](const QUrl& url) { opened_.append(url); });
  }
  void TearDown() override {
    HtmlHelpA(0, nullptr, HH_CLOSE_ALL, 0);
    flushDeletes();
  }
  static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
  static HelpViewerWindow* window(const char* file) { return viewerWindowForFile(file); }

  QList<QUrl> opened_;
};

TEST_F(ViewerTest, ContextRequestShowsTheMappedTopicWithItsResources) {
  HWND id = HtmlHelpA(0, "Quorvik.chm", HH_HELP_CONTEXT, 100);
  ASSERT_NE(id, 0u);
  HelpViewerWindow* w = window("Quorvik.chm");
  ASSERT_TRUE(w);
  EXPECT_EQ(static_cast<HWND>(w->winId()), id);
  EXPECT_TRUE(w->isVisible());
  EXPECT_FALSE(w->isModal());
  EXPECT_EQ(w->currentTopic(), "/main_window.htm");
  EXPECT_TRUE(w->browser()->toPlainText().contains("nine rows"));
  EXPECT_TRUE(w->message().isEmpty());
  // Image and style sheet come from inside the book; nothing else is loaded.
  TopicBrowser* b = w->browser();
  EXPECT_FALSE(
      b->loadResource(QTextDocument::ImageResource, QUrl("chm:/quorvik.png")).toByteArray().isEmpty());
  EXPECT_TRUE(b->loadResource(QTextDocument::StyleSheetResource, QUrl("chm:/quorvik.css"))
                  .toByteArray()
                  .contains("font-family"));
  EXPECT_FALSE(b->loadResource(QTextDocument::ImageResource, QUrl("http://example.com/x.png")).isValid());
  EXPECT_FALSE(b->loadResource(QTextDocument::HtmlResource, QUrl("file:///etc/passwd")).isValid());
}

TEST_F(ViewerTest, OneWindowPerFileReusedAndTransientForTheOwner) {
  QWidget owner;
  owner.show();
  HWND first = HtmlHelpA(owner.winId(), "Quorvik.chm", HH_HELP_CONTEXT, 100);
  HWND again = HtmlHelpA(owner.winId(), "Quorvik.chm", HH_DISPLAY_TOC, 0);
  HWND by_path = HtmlHelpA(0, (kHelpDir + "/Quorvik.chm").toLocal8Bit().constData(), HH_DISPLAY_TOPIC, 0);
  HWND other = HtmlHelpA(owner.winId(), "VIEWHLP.CHM", HH_DISPLAY_TOPIC, 0);
  EXPECT_NE(first, 0u);
  EXPECT_EQ(again, first);
  EXPECT_EQ(by_path, first);
  EXPECT_NE(other, 0u);
  EXPECT_NE(other, first);
  EXPECT_EQ(viewerWindows().size(), 2);
  HelpViewerWindow* w = window("Quorvik.chm");
  EXPECT_EQ(w->parentWidget(), &owner);
  EXPECT_TRUE(w->isWindow());
  EXPECT_EQ(w->tabs()->currentIndex(), BookTabs::kContents);
  EXPECT_EQ(window("VIEWHLP.CHM")->currentTopic(), "/overview.htm");
  // A minimized window comes back for the next request.
  w->showMinimized();
  ASSERT_TRUE(w->isMinimized());
  EXPECT_EQ(HtmlHelpA(owner.winId(), "Quorvik.chm", HH_HELP_CONTEXT, 100), first);
  EXPECT_FALSE(w->isMinimized());
  EXPECT_TRUE(w->isVisible());
}

TEST_F(ViewerTest, IndexOpensAtTheKeyWord) {
  struct Case {
    const char* keyword;
    const char* entry;
  } cases[] = {
      {"check boxes", "check boxes"},          // exact, though longer entries follow
      {"show checkboxes", "Show Checkboxes"},  // exact, case ignored
      {"drag", "drag and drop"},               // first entry starting with it
      {"BUG", "bug report"},
      {"bugreport", "bugreport.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keyword);
    ASSERT_NE(HtmlHelpA(0, "Quorvik.chm", HH_DISPLAY_INDEX, text(c.keyword)), 0u);
    HelpViewerWindow* w = window("Quorvik.chm");
    EXPECT_EQ(w->tabs()->currentIndex(), BookTabs::kIndex);
    EXPECT_EQ(w->tabs()->currentIndexEntry(), c.entry);
  }
  // No entry starts with it: the index tab is still shown, nothing chosen.
  HtmlHelpA(0, "Quorvik.chm", HH_DISPLAY_INDEX, 0);
  EXPECT_FALSE(window("Quorvik.chm")->tabs()->showIndexAt("zzz"));
}

TEST_F(ViewerTest, CloseAllClosesEveryViewerWindow) {
  HtmlHelpA(0, "Quorvik.chm", HH_HELP_CONTEXT, 100);
  HtmlHelpA(0, "VIEWHLP.CHM", HH_DISPLAY_TOPIC, 0);
  QPointer<HelpViewerWindow> a = window("Quorvik.chm"), b = window("VIEWHLP.CHM");
  ASSERT_TRUE(a && b);
  EXPECT_EQ(HtmlHelpA(0, nullptr, HH_CLOSE_ALL, 0), 0u);
  flushDeletes();
  EXPECT_FALSE(a);
  EXPECT_FALSE(b);
  EXPECT_TRUE(viewerWindows().isEmpty());
  // A later request opens a fresh window.
  EXPECT_NE(HtmlHelpA(0, "Quorvik.chm", HH_HELP_CONTEXT, 100), 0u);
}

TEST_F(ViewerTest, UnknownCommandOpensNothing) {
  for (unsigned command : {0x0003u, 0x0010u, 0x0101u}) EXPECT_EQ(HtmlHelpA(0, "Quorvik.chm", command, 0), 0u);
  EXPECT_TRUE(viewerWindows().isEmpty());
}

TEST_F(ViewerTest, FailuresGiveTheViewersOwnMessage) {
  QTemporaryDir dir;
  const QString damaged = dir.filePath("Damaged.chm");
  {
    QFile good(kHelpDir + "/Quorvik.chm");
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    QByteArray bytes = good.readAll().left(0x300);  // header and part of the directory
    QFile out(damaged);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes);
  }
  const QByteArray damaged_path = damaged.toLocal8Bit();
  struct Case {
    const char* file;
    unsigned command;
    std::uintptr_t data;
    QStringList words;  // the message names these
  } cases[] = {
      {"Missing.chm", HH_HELP_CONTEXT, 100, {"Missing.chm", "not found"}},
      {damaged_path.constData(), HH_HELP_CONTEXT, 100, {"Damaged.chm", "cannot be opened"}},
      {"Quorvik.chm", HH_HELP_CONTEXT, 4242, {"Quorvik.chm", "4242"}},
      {"Quorvik.chm", HH_DISPLAY_TOPIC, text("nowhere.htm"), {"Quorvik.chm", "nowhere.htm"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    EXPECT_EQ(HtmlHelpA(0, c.file, c.command, c.data), 0u);
    HelpViewerWindow* w = window(c.file);
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->isVisible());
    for (const QString& word : c.words)
      EXPECT_TRUE(w->message().contains(word)) << w->message().toStdString();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  }
  // The book stays usable after an unknown context, and the message goes.
  EXPECT_NE(HtmlHelpA(0, "Quorvik.chm", HH_HELP_CONTEXT, 100), 0u);
  EXPECT_TRUE(window("Quorvik.chm")->message().isEmpty());
}

TEST_F(ViewerTest, LinksNavigateInsideTheBookAndExternalOnesOnlyOnClick) {
  ASSERT_NE(HtmlHelpA(0, "Quorvik.chm", HH_HELP_CONTEXT, 100), 0u);
  HelpViewerWindow* w = window("Quorvik.chm");
  TopicBrowser* b = w->browser();
  emit b->anchorClicked(QUrl("checkboxes.htm"));
  EXPECT_EQ(w->currentTopic(), "/checkboxes.htm");
  b->backward();
  EXPECT_EQ(w->currentTopic(), "/main_window.htm");
  b->forward();
  EXPECT_EQ(w->currentTopic(), "/checkboxes.htm");

  EXPECT_TRUE(opened_.isEmpty());
  emit b->anchorClicked(QUrl("javascript:alert(1)"));
  emit b->anchorClicked(QUrl("file:///etc/passwd"));
  EXPECT_TRUE(opened_.isEmpty());
  EXPECT_EQ(w->currentTopic(), "/checkboxes.htm");
  emit b->anchorClicked(QUrl("https://example.com/quorvik"));
  ASSERT_EQ(opened_.size(), 1);
  EXPECT_EQ(opened_[0], QUrl("https://example.com/quorvik"));
}

// The tabs and the contents are built after the first topic is shown, and
// the window's title and the contents' selection follow the topic; all of it
// settles once the event loop has run.
TEST_F(ViewerTest, TitleAndContentsFollowTheShownTopic) {
  ASSERT_NE(HtmlHelpA(0, "Quorvik.chm", HH_HELP_CONTEXT, 100), 0u);
  HelpViewerWindow* w = window("Quorvik.chm");
  auto selected = [&] {
    for (int pass = 0; pass < 3; ++pass) QCoreApplication::processEvents();
    QTreeWidgetItem* item = w->tabs()->contentsTree()->currentItem();
    return item ? item->text(0) : QString();
  };
  EXPECT_EQ(selected(), "The Quorvik window");
  EXPECT_EQ(w->windowTitle(), "Quorvik Help - The Quorvik window");
  EXPECT_EQ(w->tabs()->contentsTree()->topLevelItemCount(), 4);
  emit w->browser()->anchorClicked(QUrl("errors.htm"));
  EXPECT_EQ(selected(), "When an error happens");
  EXPECT_EQ(w->windowTitle(), "Quorvik Help - When an error happens");
  w->browser()->backward();
  EXPECT_EQ(selected(), "The Quorvik window");
  // A click in the contents shows its topic.
  QTreeWidgetItem* dragging = w->tabs()->contentsTree()->findItems("Dragging rows", Qt::MatchRecursive).value(0);
  ASSERT_TRUE(dragging);
  emit w->tabs()->contentsTree()->itemClicked(dragging, 0);
  EXPECT_EQ(w->currentTopic(), "/dragging.htm");
}

TEST_F(ViewerTest, SearchFindsTopicsContainingAllWords) {
  ASSERT_NE(HtmlHelpA(0, "Quorvik.chm", HH_DISPLAY_TOC, 0), 0u);
  BookTabs* tabs = window("Quorvik.chm")->tabs();
  EXPECT_EQ(tabs->search("bugreport.txt"), 1);
  EXPECT_EQ(tabs->searchResults()->item(0)->text(), "When an error happens");
  EXPECT_EQ(tabs->search("DROP nothing"), 1);            // case ignored, all words needed
  EXPECT_EQ(tabs->search("stylesheet font-family"), 0);  // style blocks and tags are not text
}

TEST(HelpFileLookup, WorkingFolderThenInstalledFolderIgnoringCase) {
  QTemporaryDir work, installed;
  auto touch = [](const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  };
  touch(work.filePath("Book.chm"));
  touch(installed.filePath("Book.chm"));
  touch(installed.filePath("other.chm"));
  QDir::setCurrent(work.path());
  EXPECT_EQ(findHelpFile("Book.chm", installed.path()), work.filePath("Book.chm"));
  EXPECT_EQ(findHelpFile("OTHER.CHM", installed.path()), installed.filePath("other.chm"));
  EXPECT_EQ(findHelpFile("none.chm", installed.path()), "");
  EXPECT_EQ(findHelpFile("sub/Book.chm", installed.path()), "");  // paths are not searched
}

TEST(BookText, DecodesTheBooksCodePage) {
  EXPECT_EQ(decodeBookText("\x93quoted\x94 \xe9", 1252), QString::fromUtf8("\u201cquoted\u201d \u00e9"));
}

TEST(BookText, CharsetComesOnlyFromAMetaTagNearTheStart) {
  const struct {
    QByteArray html, charset;
  } cases[] = {
      {"<meta charset=\"UTF-8\"><p>x", "utf-8"},
      {"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=Windows-1251\">", "windows-1251"},
      {"<meta name=x><meta charset = 'iso-8859-2' >", "iso-8859-2"},
      {"<meta charset=>", ""},
      {"<p>charset=utf-8</p>", ""},                         // text, not a declaration
      {"<meta name=\"description\"> charset=utf-8", ""},  // after the tag's end
      {QByteArray(2100, ' ') + "<meta charset=utf-8>", ""},  // too far in
      {"<meta charset=koi8-r", "koi8-r"},                     // unclosed tag at the end
  };
  for (const auto& c : cases) EXPECT_EQ(declaredCharset(c.html), c.charset) << c.html.left(80).toStdString();
}

}  // namespace
}  // namespace htmlhelp

int main(int argc, char** argv) {
  // Headless unless told otherwise (ctest sets it too; test discovery does not).
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
