// The viewer windows of this process, one per help file. Test seam: tests
// and the benchmark reach the windows HtmlHelpA made through these.
#pragma once

#include <QList>
#include <QString>

namespace htmlhelp {

class HelpViewerWindow;

// Where a file named as HtmlHelpA's `file` is found: a path is taken as is
// (relative to the working folder); a bare name is looked for in the working
// folder, beside the executable, then in `installed_dir`, each time first
// with the exact name, then ignoring case. Empty when not found.
QString findHelpFile(const QString& file, const QString& installed_dir);

// The viewer window for a file as named to HtmlHelpA, or null.
HelpViewerWindow* viewerWindowForFile(const char* file);
// Every open viewer window.
QList<HelpViewerWindow*> viewerWindows();

}  // namespace htmlhelp
