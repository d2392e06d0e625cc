// selvane-update-server: the reference update server on 127.0.0.1.

#include <signal.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "command_line.h"
#include "update_server.h"

using namespace selvane::refserver;

int main(int argc, char** argv) {
  CommandLine cl;
  try {
    cl = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    std::cerr << "selvane-update-server: " << e.what() << "\n\n" << kUsage;
    return 2;
  }
  if (cl.help) {
    std::cout << kUsage;
    return 0;
  }
  if (!std::filesystem::is_directory(cl.options.root)) {
    std::cerr << "selvane-update-server: not a folder: " << cl.options.root << "\n";
    return 2;
  }

  // Serve until SIGINT or SIGTERM; the signals are taken synchronously here.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  try {
    UpdateServer server(cl.options);
    server.SetLog([](const std::string& line) { std::cerr << line << std::endl; });
    server.Start();
    std::cout << "listening on 127.0.0.1:" << server.port() << std::endl;
    int sig = 0;
    sigwait(&stop_signals, &sig);
    server.Stop();
  } catch (const std::exception& e) {
    std::cerr << "selvane-update-server: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
