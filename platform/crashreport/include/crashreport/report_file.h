// The bug-report file: every report is appended to it as one framed entry,
//
//   ======== bug report begin, <n> bytes ========
//   <exactly n bytes of report text, ending in a newline>
//   ======== bug report end ========
//
// so that a reader can tell whole reports from a damaged tail or garbage. An
// append holds an exclusive lock (flock) on the file, so appends from several
// processes land whole and in some order. When an entry would take the file
// past its size limit, the oldest whole entries go (the file is rewritten
// through a temporary file and rename, never cut in place); damaged parts go
// at the same time. The file is fsync'ed before Append returns. Qt-free; none
// of it is async-signal-safe (it allocates).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace crashreport {

struct TSaveResult {
  bool Ok = false;
  std::string Path;   // the file written, or tried
  std::string Error;  // when !Ok: "cannot save the bug report to <path>: <reason>"
};

// Where the report file goes: <exeDir>/<fileName> when exeDir is a writable
// folder, else <stateHome>/Quorvik/<fileName>, where stateHome is
// $XDG_STATE_HOME or ~/.local/state when stateHome is empty. Creates the
// state folder when needed. Never fails: when nothing is writable it returns
// the state path, and the append reports the reason.
std::string ChooseReportPath(std::string_view fileName, std::string_view exeDir,
                             std::string_view stateHome = {});

// The folder of the running executable (from /proc/self/exe), or "." when it
// cannot be read.
std::string ExecutableDir();

// Frames report as one entry (adding a final newline when it lacks one).
std::string FrameReport(std::string_view report);

// Appends report to the file at path within maxBytes (the whole file's size
// in bytes), dropping the oldest whole entries as needed. A report that alone
// passes the limit is cut at its end, with a line saying so, and is then the
// only entry. Returns the error, with the system's reason, when the file
// cannot be opened, locked or written; never throws for file errors.
TSaveResult AppendReport(const std::string& path, std::string_view report, std::size_t maxBytes);

// AppendReport to path; when that fails, to the same file name in the
// state folder (see ChooseReportPath). The result names the file written, or
// the first failure when both fail.
TSaveResult SaveReport(const std::string& path, std::string_view report, std::size_t maxBytes);

// The whole reports (texts without their frames) found in the file, oldest
// first. Garbage and half-written entries are skipped. An absent or
// unreadable file gives none.
std::vector<std::string> ReadReports(const std::string& path);

// Splits file content into whole reports, as ReadReports does.
std::vector<std::string> ParseReports(std::string_view content);

}  // namespace crashreport
