#pragma once
// The probe: opens a connection to an update server through the updater's own
// client, exactly as the updater does, calls one remote method and prints the
// reply in readable form. Support staff use it to see what a server would send
// a machine; tests use it to drive the client against any server.

#include <ostream>
#include <string>
#include <vector>

namespace selvane::probe {

extern const char kProbeUsage[];

// Runs the probe with the arguments after the program name. Returns 0 on
// success; on failure writes the failure's message to `err` and returns 1
// (2 for a bad command line).
int RunProbe(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace selvane::probe
