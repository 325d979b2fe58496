// The melvarino command-line tool: runs one command line and returns its exit
// status. main() only forwards the arguments and the standard streams.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace mel::cli {

// args are the arguments after the program name. Normal output goes to out,
// messages and reader notices to err.
int run_cli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace mel::cli
