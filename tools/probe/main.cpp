// selvane-probe: calls one remote method of an update server and prints the reply.

#include <iostream>
#include <string>
#include <vector>

#include "probe.h"

int main(int argc, char** argv) {
  return selvane::probe::RunProbe(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
