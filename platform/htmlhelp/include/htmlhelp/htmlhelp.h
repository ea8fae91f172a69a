// The HTML help viewer's entry point, as the program's help router calls it.
//
// Plain C declarations on purpose: callers above the platform layers see no
// Qt and no .chm reader types. All calls must come from the GUI thread of a
// running QApplication; none of this may run inside a signal handler.
#pragma once

#include <cstdint>

// A native window id (X11 window id / Qt's WId); 0 means none.
using HWND = std::uintptr_t;

// Viewer commands.
constexpr unsigned int HH_DISPLAY_TOPIC = 0x0000;  // data: 0, or address of a topic name ("topic.htm")
constexpr unsigned int HH_DISPLAY_TOC = 0x0001;    // data ignored
constexpr unsigned int HH_DISPLAY_INDEX = 0x0002;  // data: 0, or address of a key word
constexpr unsigned int HH_HELP_CONTEXT = 0x000F;   // data: the context number
constexpr unsigned int HH_CLOSE_ALL = 0x0012;      // file may be null; data ignored

extern "C" {

// Shows help from the compiled help file `file` in the viewer window for that
// file, creating it (modeless, transient for `owner` when `owner` is a window
// of this process) or reusing it.
//
// `file` is a path, or a bare name looked for in the working folder, then
// beside the executable, then in the installed help folder. "book.chm::/x.htm"
// names a topic too. `data` is a number or the address of a NUL-terminated
// 8-bit text, depending on `command`:
//   HH_DISPLAY_TOPIC  the default topic, or the topic named by `data` when non-zero;
//   HH_HELP_CONTEXT   the topic mapped to context number `data`;
//   HH_DISPLAY_TOC    the contents tab;
//   HH_DISPLAY_INDEX  the index tab at the key word `data`: the exact entry,
//                     else the first entry starting with it;
//   HH_CLOSE_ALL      closes every viewer window; returns 0.
// Returns the viewer window's id, or 0 when the request failed or the
// command is unknown (an unknown command opens nothing). A missing or
// damaged file, or a context number or topic the file lacks, shows the
// viewer's own non-modal message naming the file (and the number) and
// returns 0. Never blocks, never throws.
HWND HtmlHelpA(HWND owner, const char* file, unsigned int command, std::uintptr_t data);
}
