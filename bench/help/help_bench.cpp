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
#include <memory>
#include <utility>
#include <vector>

#include "book_tabs_p.h"
#include "htmlhelp/htmlhelp.h"
#include "topic_browser_p.h"
#include "viewer_registry_p.h"
#include "viewer_window_p.h"

namespace {

constexpr int kRuns = 30;

// Lets whatever the last step left queued (deferred deletes, the viewer's
// tabs and contents, which follow a shown topic) finish before the clock starts.
void settle() {
  for (int pass = 0; pass < 4; ++pass) {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

// One side of a comparison: `prepare` (untimed), then `work`, which must
// leave its result laid out; `finish` takes the side's windows away after a
// block of runs.
struct Side {
  std::function<void()> prepare, work, finish;
};

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Medians of both sides. The sides take turns in blocks, so that a change in
// the machine's load reaches both; within a block only that side has windows,
// so that neither waits for the X server to draw the other's.
std::pair<double, double> compare(const Side& viewer, const Side& floor) {
  constexpr int kBlocks = 3;
  std::vector<double> times[2];
  for (int block = 0; block < kBlocks; ++block) {
    for (int s = 0; s < 2; ++s) {
      const Side& side = s == 0 ? viewer : floor;
      for (int i = 0; i < kRuns / kBlocks; ++i) {
        side.prepare();
        settle();
        QElapsedTimer timer;
        timer.start();
        side.work();
        times[s].push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
      }
      side.finish();
      settle();
    }
  }
  return {median(times[0]), median(times[1])};
}

void closeAll() { HtmlHelpA(0, nullptr, HH_CLOSE_ALL, 0); }

// Open mode: the window stays open and first shows the default topic;
// first-request mode: every window is closed before each run.
Side viewerContext(const QByteArray& book, std::uint32_t context, bool cold) {
  return {[book, cold] { cold ? closeAll() : (void)HtmlHelpA(0, book.constData(), HH_DISPLAY_TOPIC, 0); },
          [book, context] {
            HtmlHelpA(0, book.constData(), HH_HELP_CONTEXT, context);
            auto* w = htmlhelp::viewerWindowForFile(book.constData());
            (void)w->browser()->document()->size();  // forces the layout
          },
          [] { closeAll(); }};
}

// A bare browser. Open mode: one stays open and first shows `default_file`;
// first-request mode: each run creates, sizes and shows a new one.
struct FloorBrowser {
  std::unique_ptr<QTextBrowser> browser;
  void open() {
    browser = std::make_unique<QTextBrowser>();
    browser->resize(580, 540);
    browser->show();
  }
  Side side(const QString& html_file, const QString& default_file, bool cold) {
    const QUrl topic = QUrl::fromLocalFile(html_file), start = QUrl::fromLocalFile(default_file);
    return {[this, start, cold] {
              if (cold) {
                browser.reset();
                return;
              }
              if (!browser) open();
              browser->setSource(start);  // as the viewer's default topic
            },
            [this, topic, cold] {
              if (cold) open();
              browser->setSource(topic);
              (void)browser->document()->size();  // forces the layout
            },
            [this] { browser.reset(); }};
  }
};

Side viewerIndex(const QByteArray& book, const char* keyword, bool cold) {
  // Open mode: the window shows a topic and its contents, its index read
  // once before; first-request mode: a new window at a topic, its index
  // never shown.
  return {[book, cold] {
            if (cold) closeAll();
            HtmlHelpA(0, book.constData(), HH_HELP_CONTEXT, 1);
            if (!cold) {
              HtmlHelpA(0, book.constData(), HH_DISPLAY_INDEX, reinterpret_cast<std::uintptr_t>("keyword 0001"));
              HtmlHelpA(0, book.constData(), HH_DISPLAY_TOC, 0);
            }
          },
          [book, keyword] {
            HtmlHelpA(0, book.constData(), HH_DISPLAY_INDEX, reinterpret_cast<std::uintptr_t>(keyword));
            QCoreApplication::processEvents();
          },
          [] { closeAll(); }};
}

struct FloorList {
  std::unique_ptr<QListWidget> list;
  Side side(const QStringList& entries, const QString& keyword) {
    return {[this] { list.reset(); },
            [this, entries, keyword] {
              list = std::make_unique<QListWidget>();
              list->setUniformItemSizes(true);
              list->show();
              list->addItems(entries);
              auto found = list->findItems(keyword, Qt::MatchStartsWith);
              if (!found.isEmpty()) list->setCurrentItem(found.first());
              list->scrollToItem(list->currentItem(), QAbstractItemView::PositionAtTop);
              QCoreApplication::processEvents();
            },
            [this] { list.reset(); }};
  }
};

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

  std::printf("median of %d runs on the \"%s\" platform, viewer and floor in turns\n", kRuns,
              qPrintable(QGuiApplication::platformName()));
  for (bool cold : {false, true}) {
    std::printf(cold ? "\nFirst request of a run: opens the book, builds the window (information)\n"
                     : "Requests to an open viewer (goal: ratio at most 1.5)\n");
    auto row = [cold](const char* what, std::pair<double, double> ms) {
      const auto [viewer, floor] = ms;
      std::printf("  %-46s viewer %7.2f ms   floor %7.2f ms   ratio %5.2f%s\n", what, viewer, floor,
                  viewer / floor, !cold && viewer / floor > 1.5 ? "  (over the goal)" : "");
    };
    FloorBrowser browser;
    row("Quorvik.chm context 100",
        compare(viewerContext(quorvik, 100, cold), browser.side(quorvik_topic, quorvik_default, cold)));
    row("2,000-topic book context 1000",
        compare(viewerContext(big, 1000, cold), browser.side(big_topic, big_default, cold)));
    FloorList list;
    row(cold ? "5,000-entry index, first shown, at a key word" : "5,000-entry index at \"keyword 2500\"",
        compare(viewerIndex(big, "keyword 2500", cold), list.side(entries, QStringLiteral("keyword 2500"))));
  }
  closeAll();
  settle();
  return 0;
}
