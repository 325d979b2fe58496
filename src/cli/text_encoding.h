// Text at the edge of the command-line tool: the system keeps titles and
// reports as CP932 bytes, the terminal wants UTF-8.
#pragma once

#include <string>

namespace mel::cli {

// Converts CP932 bytes to UTF-8. A byte sequence that is not CP932 becomes '?'.
std::string cp932_to_utf8(const std::string& cp932);

// A report or title for the terminal: UTF-8 with "\n" line ends.
std::string to_terminal_text(const std::string& cp932);

// A text given on the command line (UTF-8, or the system's code page on
// Windows) as CP932 bytes.
std::string argument_to_cp932(const std::string& argument);

}  // namespace mel::cli
