// HtmlHelpA: finds the help file, picks or makes its viewer window, and
// passes the command on.
#include "htmlhelp/htmlhelp.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QPointer>

#include "viewer_registry_p.h"
#include "viewer_window_p.h"

#ifndef QUORVIK_HELP_INSTALL_DIR
#define QUORVIK_HELP_INSTALL_DIR ""
#endif

namespace htmlhelp {
namespace {

// Keyed by the found path (so "Quorvik.chm" and "./Quorvik.chm" share a
// window), or by the name as given while it is not found.
QMap<QString, QPointer<HelpViewerWindow>>& windows() {
  static QMap<QString, QPointer<HelpViewerWindow>> map;
  return map;
}

QString fileInDir(const QString& dir, const QString& name) {
  QDir d(dir);
  if (dir.isEmpty() || !d.exists()) return {};
  if (QFileInfo(d.filePath(name)).isFile()) return QFileInfo(d.filePath(name)).absoluteFilePath();
  // Help files named on another system often differ in case only.
  for (const QString& entry : d.entryList(QDir::Files))
    if (entry.compare(name, Qt::CaseInsensitive) == 0) return QFileInfo(d.filePath(entry)).absoluteFilePath();
  return {};
}

QString keyFor(const QString& name, const QString& found) { return found.isEmpty() ? name : found; }

struct Request {
  QString name;   // file part
  QString topic;  // part after "::", if any
};

// "book.chm::/topic.htm>window" -> file "book.chm", topic "/topic.htm".
Request splitFileArgument(const char* file) {
  QString text = QString::fromLocal8Bit(file);
  if (qsizetype gt = text.indexOf(QLatin1Char('>')); gt >= 0) text.truncate(gt);  // a window type
  Request r;
  if (qsizetype sep = text.indexOf(QLatin1String("::")); sep >= 0) {
    r.topic = text.mid(sep + 2);
    text.truncate(sep);
  }
  r.name = text.trimmed();
  return r;
}

HelpViewerWindow* windowFor(const QString& name, QWidget* owner) {
  const QString found = findHelpFile(name, QStringLiteral(QUORVIK_HELP_INSTALL_DIR));
  QPointer<HelpViewerWindow>& slot = windows()[keyFor(name, found)];
  if (!slot) {
    slot = new HelpViewerWindow(name, found, owner);
  } else {
    slot->setPath(found);
    if (owner && slot->parentWidget() != owner) slot->setParent(owner, Qt::Window);
  }
  return slot;
}

void closeAll() {
  // Copy first: closing deletes windows, and their QPointers clear.
  const auto all = windows().values();
  windows().clear();
  for (const QPointer<HelpViewerWindow>& w : all)
    if (w) w->close();  // WA_DeleteOnClose frees it
}

}  // namespace

QString findHelpFile(const QString& file, const QString& installed_dir) {
  if (file.isEmpty()) return {};
  if (file.contains(QLatin1Char('/'))) {
    QFileInfo info(file);
    return info.isFile() ? info.absoluteFilePath() : QString();
  }
  for (const QString& dir : {QDir::currentPath(), QCoreApplication::applicationDirPath(), installed_dir}) {
    QString path = fileInDir(dir, file);
    if (!path.isEmpty()) return path;
  }
  return {};
}

HelpViewerWindow* viewerWindowForFile(const char* file) {
  if (!file) return nullptr;
  const QString name = splitFileArgument(file).name;
  const QString found = findHelpFile(name, QStringLiteral(QUORVIK_HELP_INSTALL_DIR));
  auto it = windows().constFind(keyFor(name, found));
  return it == windows().constEnd() ? nullptr : it->data();
}

QList<HelpViewerWindow*> viewerWindows() {
  QList<HelpViewerWindow*> out;
  for (const QPointer<HelpViewerWindow>& w : windows())
    if (w) out.append(w.data());
  return out;
}

}  // namespace htmlhelp

extern "C" HWND HtmlHelpA(HWND owner, const char* file, unsigned int command, std::uintptr_t data) {
  using namespace htmlhelp;
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return 0;
  if (command == HH_CLOSE_ALL) {
    closeAll();
    return 0;
  }
  if (command != HH_DISPLAY_TOPIC && command != HH_DISPLAY_TOC && command != HH_DISPLAY_INDEX &&
      command != HH_HELP_CONTEXT)
    return 0;
  if (file == nullptr || *file == '\0') return 0;

  try {
    const Request request = splitFileArgument(file);
    QWidget* owner_widget = owner ? QWidget::find(static_cast<WId>(owner)) : nullptr;
    HelpViewerWindow* window = windowFor(request.name, owner_widget ? owner_widget->window() : nullptr);
    bool shown = false;
    switch (command) {
      case HH_DISPLAY_TOPIC:
        if (data != 0)
          shown = window->showTopic(reinterpret_cast<const char*>(data));
        else if (!request.topic.isEmpty())
          shown = window->showTopic(request.topic.toStdString());
        else
          shown = window->showDefaultTopic();
        break;
      case HH_HELP_CONTEXT:
        // The context number travels in a pointer-sized value; only its low
        // 32 bits are a context number.
        shown = window->showContext(static_cast<std::uint32_t>(data));
        break;
      case HH_DISPLAY_TOC:
        shown = window->showContents();
        break;
      case HH_DISPLAY_INDEX:
        shown =
            window->showIndex(data ? QString::fromLocal8Bit(reinterpret_cast<const char*>(data)) : QString());
        break;
    }
    return shown ? static_cast<HWND>(window->winId()) : 0;
  } catch (...) {
    return 0;  // a C entry point: nothing may escape into the caller
  }
}
