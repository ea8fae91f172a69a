// Times the viewer against bare Qt widgets doing the same visible work, in
// one run:
//  1. a context request, from HtmlHelpA until the topic is laid out, for
//     Quorvik.chm and a generated book of 2,000 topics / 5,000 key words,
//     against reading the topic's HTML from a plain file into a bare
//     QTextBrowser and laying it out;
//  2. the large book's index shown at a key word, against filling a bare
//     QListWidget with the same 5,000 entries and selecting the key word.
// Each case runs cold (a new window every time, as the first F1 of a run)
// and warm (the window reused). Prints medians and ratios; goal <= 1.5.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QTextBrowser>
#include <QTextDocument>
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

void settle() {
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
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

double floorTopic(const QString& html_file, bool cold) {
  QTextBrowser* reused = cold ? nullptr : new QTextBrowser;
  QTextBrowser* browser = nullptr;
  double ms = medianMs(
      [&] {
        if (cold) delete browser;
        browser = nullptr;
      },
      [&] {
        browser = cold ? new QTextBrowser : reused;
        if (cold) browser->resize(580, 540);
        browser->show();
        QFile f(html_file);
        f.open(QIODevice::ReadOnly);
        browser->setHtml(QString::fromLatin1(f.readAll()));
        (void)browser->document()->size();
      });
  delete (cold ? browser : reused);
  return ms;
}

double viewerIndex(const QByteArray& book, const char* keyword, bool cold) {
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
                         for (const QString& e : entries) list->addItem(e);
                         auto found = list->findItems(keyword, Qt::MatchStartsWith);
                         if (!found.isEmpty()) list->setCurrentItem(found.first());
                         list->scrollToItem(list->currentItem(), QAbstractItemView::PositionAtTop);
                         QCoreApplication::processEvents();
                       });
  delete list;
  return ms;
}

void report(const char* what, double viewer, double floor) {
  std::printf("%-44s viewer %8.2f ms   floor %8.2f ms   ratio %5.2f %s\n", what, viewer, floor,
              viewer / floor, viewer / floor <= 1.5 ? "" : "(over 1.5)");
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QByteArray quorvik = QByteArray(QUORVIK_HELP_DIR) + "/Quorvik.chm";
  const QByteArray big = QByteArray(QUORVIK_BIG_BOOK);
  const QString big_src = QStringLiteral(QUORVIK_BIG_BOOK_SRC);

  // The floor reads the same topic's HTML from a plain file.
  const QString quorvik_topic = QStringLiteral(QUORVIK_SOURCE_DIR "/helpbook/quorvik/main_window.htm");
  const QString big_topic = big_src + QStringLiteral("/topic1000.htm");

  QStringList entries;
  for (int k = 1; k <= 5000; ++k) entries << QStringLiteral("keyword %1").arg(k, 4, 10, QLatin1Char('0'));

  std::printf("median of %d runs\n", kRuns);
  for (bool cold : {true, false}) {
    const char* mode = cold ? "cold" : "warm";
    char label[96];
    std::snprintf(label, sizeof label, "Quorvik.chm context 100 (%s)", mode);
    report(label, viewerContext(quorvik, 100, cold), floorTopic(quorvik_topic, cold));
    std::snprintf(label, sizeof label, "2,000-topic book context 1000 (%s)", mode);
    report(label, viewerContext(big, 1000, cold), floorTopic(big_topic, cold));
    std::snprintf(label, sizeof label, "5,000-entry index at \"keyword 2500\" (%s)", mode);
    report(label, viewerIndex(big, "keyword 2500", cold),
           floorIndex(entries, QStringLiteral("keyword 2500")));
  }
  closeAll();
  settle();
  return 0;
}
