// Faults of the link and of the server as campaigns against the reference
// server: a cut after every byte offset of a whole small session, and a server
// that goes silent at each phase, with injected time. Whatever happens, the
// run ends by itself with the right text, each step's targets stay old or
// new, nothing temporary is left, and a rerun brings the folders in line.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "injected_time.h"
#include "install/status_texts.h"
#include "install_fixture.h"
#include "rpc/rpc_error.h"
#include "testing/noise.h"
#include "transcript_channel.h"

namespace selvane {
namespace {

using refserver::kTime1;
using refserver::kTime2;
using refserver::SilentPhase;

// Folder synchronisation puts a step's files in place together, so a cut
// leaves every file of a step old or every one new.
constexpr bool kStepsAllOrNothing = true;

// A run of the session longer than this is a large part. Up to the first one
// the session is cut after every byte; from there on at a stride, finer in the
// small requests and replies than inside the large parts.
constexpr uint64_t kLargeRun = 4096;
constexpr uint64_t kStrideInLargeRuns = 1531;
constexpr uint64_t kStrideAfterTheFirstLargeRun = 13;
// Every cut is followed by a check of what it left; a rerun that must bring
// the folders in line follows every few cuts, the first and the last.
constexpr size_t kRerunEvery = 16;
// The cuts are dealt round to this many shards, each its own test with its
// own server, so that the test runner spreads them over the machine's cores.
constexpr size_t kShards = 4;
static_assert(kRerunEvery % kShards == 0);

// What a cut link shows once the connection is open: a limited read that
// fails for any reason raises its time limit's text; a write that meets the
// server's reset, the socket's text; a write after the close was noticed,
// the closed connection's.
const std::set<std::string> kCutTexts = {"Communication timeout error",
                                         "Socket Error # 10054\r\nConnection reset by peer.",
                                         "Connection Closed Gracefully."};

class FaultCampaignTest : public InstallFixture {
 protected:
  // An installed ECF whose updater is current; the server has a newer
  // version of its three files, the middle one large and incompressible.
  void SetUp() override {
    files_ = {{"A.dat", "new a"}, {"B.pak", Noise(200 * 1024, 977)}, {"VendraECF.exe", "MZ vendra 2"}};
    for (const auto& [name, content] : files_) repo_.Add("ECF/" + name, content, kTime2);
    repo_.AddFolder("KVL");
    PrepareClient(Edition::kECF, false);
    PlaceCurrentUpdater(Edition::kECF);
    ResetClient();
  }

  static std::string Target(const std::string& name) { return "C:\\Kavel\\ECF\\" + name; }

  // The edition as it was before the update, to the byte: every run lists
  // the same folder, so every session has the same length.
  void ResetClient() {
    for (const auto& [name, content] : files_) {
      root_.Write(Target(name), "old " + name);
      ASSERT_TRUE(DefineDataHoraArq(env(), Target(name), RepoTime(kTime1)));
    }
    for (const char* written_by_a_run : {"IniciarSistema.bat", "selvane.ini"}) {
      env().DeleteFile(Target(written_by_a_run));
    }
  }

  void Restart(const refserver::ServerOptions& faults) {
    if (server_) server_->Stop();
    server_.reset();
    options_ = faults;
    StartServer();
  }

  // One update run of the worker to its end, as the program runs it; the
  // connection is closed afterwards, as at the program's end.
  RecordingWindow& RunUpdate(TRpcChannelFactory transport = nullptr) {
    const EditionInfo& ecf = GetEdition(Edition::kECF);
    env().SetExecutablePath(ecf.exe_folder + "Selvane.exe");
    window_ = std::make_unique<RecordingWindow>("ECF");
    connection_ = std::make_unique<TServerConnection>();
    connection_->Params.Set("Port", std::to_string(port()));
    if (transport) connection_->SetChannelFactory(std::move(transport));
    TInstalacaoAtualizacao worker(env(), ecf, *window_, false, *connection_);
    worker.Execute();
    connection_.reset();
    return *window_;
  }

  // The one check of the steps' targets: every target of each step holds its
  // old bytes or its new ones, and with kStepsAllOrNothing all of a step
  // alike. The ECF folder's two steps share these targets; KVL's have none.
  void ExpectEachStepOldOrNewAsASet() {
    std::map<std::string, int> fresh;  // target -> 1 new, 0 old
    for (const auto& [name, content] : files_) {
      const std::string now = root_.Read(Target(name));
      const bool is_new = now == content;
      EXPECT_TRUE(is_new || now == "old " + name) << name << " holds " << now.size() << " bytes";
      fresh[name] = is_new ? 1 : 0;
    }
    if (kStepsAllOrNothing) {
      int sum = 0;
      for (const auto& [name, is_new] : fresh) sum += is_new;
      EXPECT_TRUE(sum == 0 || sum == static_cast<int>(files_.size())) << sum << " of the step's files are new";
    }
  }

  // Nothing but the edition's own files, its updater, its settings and (after
  // a success) its start batch: no container, no temporary.
  void ExpectNothingTemporary() {
    std::set<std::string> allowed = {"Kavel/ECF/Selvane.exe", "Kavel/ECF/selvane.ini",
                                     "Kavel/ECF/IniciarSistema.bat"};
    for (const auto& [name, content] : files_) allowed.insert("Kavel/ECF/" + name);
    for (const std::string& f : ClientFiles()) EXPECT_TRUE(allowed.count(f) == 1) << "left behind: " << f;
  }

  void ExpectInLineWithTheRepository() {
    for (const auto& [name, content] : files_) {
      EXPECT_EQ(root_.Read(Target(name)), content) << name;
      EXPECT_EQ(ClientTime(Target(name)), RepoTime(kTime2)) << name;
    }
  }

  std::vector<std::pair<std::string, std::string>> files_;
};

// Every offset of every request and reply up to the first large part, then a
// stride; the first and last byte of every run always.
std::vector<uint64_t> CutOffsets(const Transcript& t) {
  std::vector<uint64_t> out;
  bool large_seen = false;
  for (const TranscriptRun& run : t.runs()) {
    large_seen = large_seen || run.size > kLargeRun;
    const uint64_t step = !large_seen ? 1 : run.size > kLargeRun ? kStrideInLargeRuns : kStrideAfterTheFirstLargeRun;
    for (uint64_t at = 0; at < run.size; at += step) out.push_back(run.begin + at);
    if (step > 1) out.push_back(run.begin + run.size - 1);
  }
  return out;
}

class FaultCampaignCutTest : public FaultCampaignTest, public testing::WithParamInterface<size_t> {};

TEST_P(FaultCampaignCutTest, CutAfterEveryByteOfASession) {
  const size_t shard = GetParam();
  // The clean session, recorded as it passes.
  StartServer();
  Transcript transcript;
  ASSERT_EQ(RunUpdate(RecordedTransport(transcript)).LastStatus(), kStatusDone);
  ExpectInLineWithTheRepository();
  std::vector<uint64_t> reply_ends;
  for (const TranscriptRun& run : transcript.runs()) {
    if (run.from_server) reply_ends.push_back(run.begin + run.size);
  }
  // Filter answer, connect reply, metadata reply: then the connection is
  // open. The opening's last requests (the metadata query's release) go out in
  // one run with the first request of the work: a cut in that run ends in the
  // one text or the other, by whether a write of the opening meets the reset.
  ASSERT_GE(reply_ends.size(), 4u);
  const uint64_t open_from = reply_ends[2];
  uint64_t either_until = open_from;
  for (const TranscriptRun& run : transcript.runs()) {
    if (run.begin == open_from) either_until = run.begin + run.size;
  }
  const uint64_t done_from = reply_ends.back();

  const std::vector<uint64_t> offsets = CutOffsets(transcript);
  int failures = 0;
  for (size_t i = shard; i < offsets.size(); i += kShards) {
    const uint64_t n = offsets[i];
    SCOPED_TRACE("cut after byte " + std::to_string(n));
    ResetClient();
    server_->StartOver(static_cast<int64_t>(n), -1);
    const std::string text = RunUpdate().LastStatus();
    if (n < open_from) {
      EXPECT_EQ(text, kStatusNoConnection);
    } else if (n >= done_from) {
      EXPECT_EQ(text, kStatusDone);  // only requests that expect no reply were cut
    } else if (n < either_until) {
      EXPECT_TRUE(text == kStatusNoConnection || kCutTexts.count(text) == 1) << text;
    } else {
      EXPECT_EQ(kCutTexts.count(text), 1u) << text;
    }
    ExpectEachStepOldOrNewAsASet();
    ExpectNothingTemporary();

    if (i / kShards % (kRerunEvery / kShards) == 0 || i + kShards >= offsets.size()) {
      server_->StartOver(-1, -1);
      EXPECT_EQ(RunUpdate().LastStatus(), kStatusDone);
      ExpectInLineWithTheRepository();
      ExpectNothingTemporary();
    }
    if (HasFailure() && ++failures > 5) break;  // enough to see the pattern
  }
  RecordProperty("cuts", static_cast<int>(offsets.size()));
  EXPECT_GT(offsets.size(), open_from);
}

INSTANTIATE_TEST_SUITE_P(Shards, FaultCampaignCutTest, testing::Range<size_t>(0, kShards));

struct SilentCase {
  SilentPhase phase;
  const char* name;
  int limit_ms;            // the limit that passes
  std::string raw_text;    // what the connection raises
  std::string status;      // what the worker shows
};

TEST_F(FaultCampaignTest, SilenceAtEachPhaseEndsTheRunWithinItsLimit) {
  const std::string connect_timeout = "Connection timeout error";
  const std::string communication_timeout = "Communication timeout error";
  const std::string no_connection(kStatusNoConnection);
  const SilentCase cases[] = {
      {SilentPhase::kHandshake, "handshake", kConnectTimeoutMs, connect_timeout, no_connection},
      {SilentPhase::kConnect, "connect", kCommunicationTimeoutMs, communication_timeout, no_connection},
      {SilentPhase::kMetadata, "metadata", kCommunicationTimeoutMs, communication_timeout, no_connection},
      {SilentPhase::kPrepare, "prepare", kCommunicationTimeoutMs, communication_timeout, communication_timeout},
      {SilentPhase::kExecute, "execute", kCommunicationTimeoutMs, communication_timeout, communication_timeout},
      {SilentPhase::kPart, "inside a part", kCommunicationTimeoutMs, communication_timeout,
       communication_timeout},
  };
  for (const SilentCase& c : cases) {
    SCOPED_TRACE(c.name);
    ResetClient();
    refserver::ServerOptions faults;
    faults.silent_at = c.phase;
    Restart(faults);
    refserver::UpdateServer* server = server_.get();
    auto wait = std::make_shared<InjectedClockWait>([server] { return server->SilentSessions() > 0; });

    // The connection's own text, where the worker puts its connection message instead.
    if (c.status == no_connection) {
      auto connection = NewConnection();
      connection->SetChannelFactory(TransportChannelFactory(wait));
      try {
        connection->Open();
        ADD_FAILURE() << "opened against a silent server";
      } catch (const TRpcError& e) {
        EXPECT_EQ(e.what(), c.raw_text);
      }
      EXPECT_EQ(connection->State(), csStateClosed);
      Restart(faults);
      server = server_.get();
    }

    auto run_wait = std::make_shared<InjectedClockWait>([server] { return server->SilentSessions() > 0; });
    RecordingWindow& w = RunUpdate(TransportChannelFactory(run_wait));
    EXPECT_EQ(w.LastStatus(), c.status);
    EXPECT_EQ(run_wait->passed(), std::vector<int>{c.limit_ms});
    // The run ended by itself, and the close button is usable again.
    const std::vector<std::string> events = w.Events();
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(events.end() - 3, events.end()),
              (std::vector<std::string>{"close panel: on", "animation: off", "ended"}));
    ExpectEachStepOldOrNewAsASet();
    ExpectNothingTemporary();
  }
}

}  // namespace
}  // namespace selvane
