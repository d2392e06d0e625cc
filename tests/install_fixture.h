#pragma once
// Integration fixture of the installer: the reference update server on a free
// loopback port over a temporary repository, a temporary drive C: behind the
// native Env (waits recorded, not slept), the one server connection, and a
// window that records every status text.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "editions/editions.h"
#include "install/file_time.h"
#include "install/recording_window.h"
#include "install/test_root.h"
#include "install/test_updater_image.h"
#include "install/worker.h"
#include "base/dos_time.h"
#include "loopback_server_fixture.h"
#include "server/server_connection.h"

namespace selvane {

// The updater every test repository publishes, and a newer one.
inline const std::string kUpdaterBytes = TestUpdaterImage("updater build 1");
inline const std::string kNewUpdaterBytes = TestUpdaterImage("updater build 2");

class InstallFixture : public LoopbackTest {
 protected:
  InstallFixture() {
    repo_.Add("updater/Selvane.exe", kUpdaterBytes, refserver::kTime1);
    root_.MakeDir("C:\\Windows\\System32");
  }
  ~InstallFixture() override { connection_.reset(); }

  // What the launcher does before the worker starts.
  void PrepareClient(Edition e, bool Instalacao) {
    const EditionInfo& ed = GetEdition(e);
    root_.MakeDir(ed.edition_folder);
    if (ed.hidden_extra_folder.size() != 0 && !env().DirectoryExists(std::string(ed.hidden_extra_folder))) {
      root_.MakeDir(std::string(ed.hidden_extra_folder));
      env().SetAttributes(std::string(ed.hidden_extra_folder), kKvlAttributes);
    }
    if (Instalacao && ed.install_extra_folder.size() != 0) root_.MakeDir(std::string(ed.install_extra_folder));
  }

  // The edition folder already holds the server's updater: no self-update is due.
  void PlaceCurrentUpdater(Edition e) {
    const std::string copy(GetEdition(e).updater_copy);
    root_.Write(copy, kUpdaterBytes);
    ASSERT_TRUE(DefineDataHoraArq(env(), copy, DateTimeFromDosDateTime(refserver::kTime1)));
  }

  // Runs one worker to its end on this thread, as the launcher would start it
  // from `exe_folder`. Returns the recorded window.
  RecordingWindow& Run(Edition e, bool Instalacao, std::string exe_folder = "") {
    const EditionInfo& ed = GetEdition(e);
    if (exe_folder.empty()) exe_folder = ed.exe_folder;
    env().SetExecutablePath(exe_folder + "Selvane.exe");
    window_ = std::make_unique<RecordingWindow>(std::string(ed.PastaRaiz));
    connection_ = std::make_unique<TServerConnection>();
    connection_->Params.Set("Port", std::to_string(port()));
    TInstalacaoAtualizacao worker(env(), ed, *window_, Instalacao, *connection_, trust_key_);
    worker.Execute();
    return *window_;
  }

  // A new updater refused: no batch ran, nothing asked the application to
  // end, nothing is left beside the running updater, which (on a
  // replacement) is the one the edition had.
  void ExpectRunningUpdaterKept(const RecordingWindow& w, bool first_copy) {
    EXPECT_TRUE(env().HiddenCommandLines().empty());
    const std::vector<std::string> events = w.Events();
    EXPECT_EQ(std::count(events.begin(), events.end(), "terminate"), 0);
    const std::string folder = "Kavel/" + w.PastaRaiz() + "/";
    const std::vector<std::string> left = first_copy ? std::vector<std::string>{folder + "selvane.ini"}
                                                     : std::vector<std::string>{folder + "Selvane.exe", folder + "selvane.ini"};
    EXPECT_EQ(ClientFiles(), left);
    if (!first_copy) {
      EXPECT_EQ(root_.Read("C:\\Kavel\\" + w.PastaRaiz() + "\\Selvane.exe"), kUpdaterBytes);
    }
  }

  uint16_t port() const { return server_ ? server_->port() : unused_port_; }
  RecordingEnv& env() { return root_.env(); }

  // The stamped time of a client file, and the repository time it should carry.
  std::optional<double> ClientTime(const std::string& path) { return DataHoraArq(env(), path); }
  static double RepoTime(DosDateTime t) { return DateTimeFromDosDateTime(t); }

  // Every client file below C:\ (host paths relative to the root).
  std::vector<std::string> ClientFiles() const { return root_.AllFiles(); }

  TestRoot root_;
  std::optional<TrustKey> trust_key_;  // the program's compiled-in key; none by default
  std::unique_ptr<RecordingWindow> window_;
  std::unique_ptr<TServerConnection> connection_;
  uint16_t unused_port_ = 9;  // discard: nothing listens there on a test machine
};

}  // namespace selvane
