// The program's end against a worker that is still at work, on real threads
// (run under ThreadSanitizer too): the window thread lets go of the data
// module while the worker waits in a call, or right after the self-update has
// asked the application to end while the worker's proxy is still closing its
// commands. The connection is closed and freed once, by its last owner, after
// the worker's last use of it.

#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "injected_time.h"
#include "install_fixture.h"
#include "server/dm.h"

namespace selvane {
namespace {

using refserver::kTime2;

// Guards the waits below against a hang; never reached when all is well.
constexpr auto kHangGuard = std::chrono::minutes(2);

// A window whose request to end the application is handed to the test.
class EndingWindow : public RecordingWindow {
 public:
  using RecordingWindow::RecordingWindow;
  void TerminateApplication() override {
    RecordingWindow::TerminateApplication();
    told_to_end.set_value();
  }
  std::promise<void> told_to_end;
};

class ShutdownRaceTest : public InstallFixture {
 protected:
  // The data module as the program holds it; `freed` is kept when it goes.
  std::shared_ptr<TDM> NewDataModule(TRpcChannelFactory transport) {
    std::shared_ptr<TDM> dm(new TDM, [this](TDM* p) {
      delete p;
      freed_.set_value();
    });
    dm->ConexaoServer.Params.Set("Port", std::to_string(port()));
    if (transport) dm->ConexaoServer.SetChannelFactory(std::move(transport));
    return dm;
  }
  void Launch(const std::shared_ptr<TDM>& dm, WindowPort& window) {
    const EditionInfo& ecf = GetEdition(Edition::kECF);
    env().SetExecutablePath(ecf.exe_folder + "Selvane.exe");
    StartWorker(env(), ecf, false, window, std::shared_ptr<TServerConnection>(dm, &dm->ConexaoServer), std::nullopt);
  }
  bool WaitFreed() { return freed_.get_future().wait_for(kHangGuard) == std::future_status::ready; }

  std::promise<void> freed_;
};

TEST_F(ShutdownRaceTest, ProgramEndWhileACallIsInFlight) {
  repo_.Add("ECF/VendraECF.exe", "MZ vendra 2", kTime2);
  options_.silent_at = refserver::SilentPhase::kExecute;
  StartServer();
  PrepareClient(Edition::kECF, false);
  PlaceCurrentUpdater(Edition::kECF);
  refserver::UpdateServer* server = server_.get();
  auto wait = std::make_shared<InjectedClockWait>([server] { return server->SilentSessions() > 0; });
  std::promise<void> in_flight;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  wait->SetBeforeLimitPasses([&in_flight, released] {
    in_flight.set_value();
    released.wait();
  });

  std::shared_ptr<TDM> dm = NewDataModule(TransportChannelFactory(wait));
  std::weak_ptr<TDM> alive = dm;
  RecordingWindow window("ECF");
  Launch(dm, window);
  ASSERT_EQ(in_flight.get_future().wait_for(kHangGuard), std::future_status::ready);
  dm.reset();  // the window thread ends the program
  EXPECT_FALSE(alive.expired()) << "the data module went while its connection carried a call";
  release.set_value();

  ASSERT_TRUE(WaitFreed());
  EXPECT_EQ(window.LastStatus(), "Communication timeout error");
}

TEST_F(ShutdownRaceTest, ProgramEndRightAfterTheSelfUpdateAskedForIt) {
  repo_.Add("updater/Selvane.exe", kNewUpdaterBytes, kTime2);
  StartServer();
  PrepareClient(Edition::kECF, false);
  PlaceCurrentUpdater(Edition::kECF);  // older than the server's

  std::shared_ptr<TDM> dm = NewDataModule(nullptr);
  EndingWindow window("ECF");
  Launch(dm, window);
  ASSERT_EQ(window.told_to_end.get_future().wait_for(kHangGuard), std::future_status::ready);
  dm.reset();  // the message loop ends at once and the program lets go

  ASSERT_TRUE(WaitFreed());
  EXPECT_EQ(window.LastStatus(), "Atualizado! Reiniciando o Aplicativo...");
  EXPECT_EQ(env().HiddenCommandLines(), std::vector<std::string>{GetEdition(Edition::kECF).update_batch_cmd});
}

}  // namespace
}  // namespace selvane
