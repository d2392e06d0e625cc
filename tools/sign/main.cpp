// selvane-sign: writes the signature of every file below a release folder
// that the updater only accepts signed.

#include <iostream>
#include <string>
#include <vector>

#include "sign/signer.h"

int main(int argc, char** argv) {
  return selvane::sign::RunSign(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
