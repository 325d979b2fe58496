// melvarino: the command-line player and converter.
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#endif

#include "cli/cli_app.h"

int main(int argc, char** argv) {
#ifdef _WIN32
  SetConsoleOutputCP(CP_UTF8);
  // The tool writes its own line ends ("\n", or the report's CR LF with
  // --cp932): standard output must not turn "\n" into CR LF on the way.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::vector<std::string> args(argv + 1, argv + argc);
  return mel::cli::run_cli(args, std::cout, std::cerr);
}
