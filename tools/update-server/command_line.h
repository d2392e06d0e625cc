#pragma once
// The server program's command line.

#include <string>
#include <vector>

#include "server_options.h"

namespace selvane::refserver {

extern const char kUsage[];

struct CommandLine {
  ServerOptions options;
  bool help = false;
};

// Throws std::invalid_argument with a one-line reason on a bad command line.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace selvane::refserver
