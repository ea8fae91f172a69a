// Times the viewer against bare Qt widgets doing the same visible work, in
// one run. Each side stops its clock only once its result is laid out
// (QTextDocument::size() finishes the document's layout; the list side runs
// the event loop once so the view lays out and paints its rows).
//
//  1. Context request to laid-out topic, for Quorvik.chm (context 100) and a
//     generated book of 2,000 topics / 5,000 key words (context 1000).
//     Viewer: HtmlHelpA(HH_HELP_CONTEXT), which finds the file, opens the
//     book, maps the number, shows the window and loads the topic with its
//     style sheet and images from inside the .chm.
//     Floor: a bare QTextBrowser reading the same topic from the plain HTML
//     file it was compiled from (setSource on the file, so it also reads the
//     style sheet and images beside it, as the viewer reads them from the
//     book).
//  2. The large book's index shown at a key word.
//     Viewer: HtmlHelpA(HH_DISPLAY_INDEX) on a window already showing a topic.
//     Floor: a new bare QListWidget, shown, filled with the same 5,000 names
//     in one call, the key word found and selected and scrolled to.
//
// Two sets of rows:
//  - Requests to an open viewer: the goal, at most 1.5 times the floor. The
//    viewer's window stays open with its book read and first shows the book's
//    default topic; the floor's browser stays open and first shows the same
//    default topic's file. For the index, the viewer has shown its index once
//    before; the floor builds and fills a new list each time, as stated above.
//  - First request of a run: the viewer's windows are closed before each run,
//    so each request opens the book (directory, context table, and the
//    compressed stretches holding them and the topic) and builds a window;
//    the floor creates, sizes and shows a new browser. The floor opens no
//    book, so these rows are printed as information, not held to the goal.
//
// Run it on a real X server (tools/xvfb-session build/benchmarks/help_bench):
// showing and raising windows costs round trips there that the offscreen
// platform does not have.
#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "book_tabs_p.h"
#include "htmlhelp/htmlhelp.h"
#include "topic_browser_p.h"
#include "viewer_registry_p.h"
#include "viewer_window_p.h"

namespace {

constexpr int kRuns = 15;

// Lets whatever the last step left queued (deferred deletes, the viewer's
// tabs and contents, which follow a shown topic) finish before the clock starts.
void settle() {
  for (int pass = 0; pass < 4; ++pass) {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

// Median milliseconds of `work` (which must leave its result laid out).
double medianMs(const std::function<void()>& prepare, const std::function<void()>& work) {
  std::vector<double> times;
  for (int i = 0; i < kRuns; ++i) {
    prepare();
    settle();
    QElapsedTimer timer;
    timer.start();
    work();
    times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

void closeAll() { HtmlHelpA(0, nullptr, HH_CLOSE_ALL, 0); }

double viewerContext(const QByteArray& book, std::uint32_t context, bool cold) {
  if (!cold) HtmlHelpA(0, book.constData(), HH_HELP_CONTEXT, context);
  return medianMs([&] { cold ? closeAll() : (void)HtmlHelpA(0, book.constData(), HH_DISPLAY_TOPIC, 0); },
                  [&] {
                    HtmlHelpA(0, book.constData(), HH_HELP_CONTEXT, context);
                    auto* w = htmlhelp::viewerWindowForFile(book.constData());
                    (void)w->browser()->document()->size();  // forces the layout
                  });
}

double floorTopic(const QString& html_file, const QString& default_file, bool cold) {
  const QUrl topic = QUrl::fromLocalFile(html_file), start = QUrl::fromLocalFile(default_file);
  QTextBrowser* reused = nullptr;
  if (!cold) {
    reused = new QTextBrowser;
    reused->resize(580, 540);
    reused->show();
  }
  QTextBrowser* browser = nullptr;
  double ms = medianMs(
      [&] {
        if (cold) {
          delete browser;
          browser = nullptr;
        } else {
          reused->setSource(start);  // as the viewer's default topic
        }
      },
      [&] {
        browser = cold ? new QTextBrowser : reused;
        if (cold) {
          browser->resize(580, 540);
          browser->show();
        }
        browser->setSource(topic);
        (void)browser->document()->size();  // forces the layout
      });
  delete (cold ? browser : reused);
  return ms;
}

double viewerIndex(const QByteArray& book, const char* keyword, bool cold) {
  if (!cold) HtmlHelpA(0, book.constData(), HH_DISPLAY_INDEX, reinterpret_cast<std::uintptr_t>("keyword 0001"));
  return medianMs(
      [&] {
        if (cold) closeAll();
        HtmlHelpA(0, book.constData(), HH_HELP_CONTEXT, 1);  // window open at a topic
        if (!cold) HtmlHelpA(0, book.constData(), HH_DISPLAY_TOC, 0);
      },
      [&] {
        HtmlHelpA(0, book.constData(), HH_DISPLAY_INDEX, reinterpret_cast<std::uintptr_t>(keyword));
        QCoreApplication::processEvents();
      });
}

double floorIndex(const QStringList& entries, const QString& keyword) {
  QListWidget* list = nullptr;
  double ms = medianMs([&] { delete list, list = nullptr; },
                       [&] {
                         list = new QListWidget;
                         list->setUniformItemSizes(true);
                         list->show();
                         list->addItems(entries);
                         auto found = list->findItems(keyword, Qt::MatchStartsWith);
                         if (!found.isEmpty()) list->setCurrentItem(found.first());
                         list->scrollToItem(list->currentItem(), QAbstractItemView::PositionAtTop);
                         QCoreApplication::processEvents();
                       });
  delete list;
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QByteArray quorvik = QByteArray(QUORVIK_HELP_DIR) + "/Quorvik.chm";
  const QByteArray big = QByteArray(QUORVIK_BIG_BOOK);
  const QString big_src = QStringLiteral(QUORVIK_BIG_BOOK_SRC);

  // The floor reads the same topics' HTML from the plain files.
  const QString quorvik_src = QStringLiteral(QUORVIK_SOURCE_DIR "/helpbook/quorvik");
  const QString quorvik_topic = quorvik_src + QStringLiteral("/main_window.htm");
  const QString quorvik_default = quorvik_src + QStringLiteral("/welcome.htm");
  const QString big_topic = big_src + QStringLiteral("/topic1000.htm");
  const QString big_default = big_src + QStringLiteral("/topic0001.htm");

  QStringList entries;
  for (int k = 1; k <= 5000; ++k) entries << QStringLiteral("keyword %1").arg(k, 4, 10, QLatin1Char('0'));

  std::printf("median of %d runs on the \"%s\" platform\n", kRuns,
              qPrintable(QGuiApplication::platformName()));
  const double index_floor = floorIndex(entries, QStringLiteral("keyword 2500"));
  for (bool cold : {false, true}) {
    std::printf(cold ? "\nFirst request of a run: opens the book, builds the window (information)\n"
                     : "Requests to an open viewer (goal: ratio at most 1.5)\n");
    auto row = [cold](const char* what, double viewer, double floor) {
      std::printf("  %-42s viewer %7.2f ms   floor %7.2f ms   ratio %5.2f%s\n", what, viewer, floor,
                  viewer / floor, !cold && viewer / floor > 1.5 ? "  (over the goal)" : "");
    };
    row("Quorvik.chm context 100", viewerContext(quorvik, 100, cold),
        floorTopic(quorvik_topic, quorvik_default, cold));
    row("2,000-topic book context 1000", viewerContext(big, 1000, cold),
        floorTopic(big_topic, big_default, cold));
    row(cold ? "5,000-entry index, first shown, at a key word" : "5,000-entry index at \"keyword 2500\"",
        viewerIndex(big, "keyword 2500", cold), index_floor);
  }
  closeAll();
  settle();
  return 0;
}
