#include "protocol/container_reader.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "protocol/container_test_util.h"
#include "protocol/container_writer.h"

namespace selvane {
namespace {

// Reads a container into one string per entry.
class Entries {
 public:
  int32_t Read(ByteSource source) {
    return ReadContainer(std::move(source), [this] { return std::make_unique<Sink>(data.emplace_back(), closed); });
  }
  int32_t Read(std::span<const uint8_t> container) { return Read(SpanSource(container)); }
  int32_t Read(const std::string& container) {
    return Read({reinterpret_cast<const uint8_t*>(container.data()), container.size()});
  }

  std::vector<std::string> data;
  size_t closed = 0;

  // For each stamp: the entry stamped and how many sinks had closed by then.
  std::vector<std::pair<size_t, size_t>> stamps;

  class Sink : public WritableFile {
   public:
    Sink(std::string& out, size_t& closed, Entries* stamps_to = nullptr)
        : out_(out), closed_(closed), stamps_to_(stamps_to), index_(stamps_to ? stamps_to->data.size() - 1 : 0) {}
    void Write(const void* data, size_t n) override { out_.append(static_cast<const char*>(data), n); }
    bool SetLastWriteDos(DosDateTime) override {
      if (stamps_to_ != nullptr) stamps_to_->stamps.emplace_back(index_, closed_);
      return true;
    }
    void Close() override { ++closed_; }

   private:
    std::string& out_;
    size_t& closed_;
    Entries* stamps_to_;
    size_t index_;
  };
};

TEST(ContainerReader, StreamsEveryEntryIntoASinkOfItsOwn) {
  for (const container_test::GoodCase& c : container_test::GoodCases()) {
    SCOPED_TRACE(c.what);
    Entries read;
    EXPECT_EQ(read.Read(container_test::Deflate(container_test::Body(c.entries, c.last_end_byte))),
              static_cast<int32_t>(c.entries.size()));
    std::vector<std::string> expected;
    for (const container_test::Entry& e : c.entries) expected.push_back(e.data);
    EXPECT_EQ(read.data, expected);
    EXPECT_EQ(read.closed, c.entries.size());
  }
}

TEST(ContainerReader, ACountOfZeroOrLessOpensNoSink) {
  for (int32_t count : {0, -1, INT32_MIN}) {
    SCOPED_TRACE(count);
    Entries read;
    EXPECT_EQ(read.Read(container_test::Deflate(container_test::Int32s({count}))), 0);
    EXPECT_TRUE(read.data.empty());
  }
}

TEST(ContainerReader, BadContainersFailWithTheirOwnTexts) {
  for (const container_test::BadCase& c : container_test::BadCases()) {
    SCOPED_TRACE(c.what);
    try {
      Entries().Read(c.bytes);
      ADD_FAILURE() << "no failure";
    } catch (const std::exception& e) {
      if (c.message != nullptr) {
        EXPECT_STREQ(e.what(), c.message);
      }
    }
  }
}

TEST(ContainerReader, ReadsWhatTheWriterWrites) {
  std::mt19937 rng(11);
  for (size_t size : {size_t{0}, size_t{1}, size_t{65536}, size_t{200003}}) {
    SCOPED_TRACE(size);
    Bytes data(size);
    for (auto& b : data) b = static_cast<uint8_t>(rng() % 7);
    Entries read;
    EXPECT_EQ(read.Read(MakeContainer("Configuração.ini", data)), 1);
    ASSERT_EQ(read.data.size(), 1u);
    EXPECT_EQ(read.data[0], std::string(data.begin(), data.end()));
  }
}

TEST(ContainerReader, ASourceFailureAtAnyCallPassesThroughUnchanged) {
  const std::string data(200000, 'q');
  const std::string container = container_test::Deflate(container_test::Body({{"a", data}}));
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(container.data()), container.size());
  for (int fail_at = 0;; ++fail_at) {
    SCOPED_TRACE(fail_at);
    ByteSource inner = SpanSource(bytes);
    int calls = 0;
    // Small reads, so that the campaign reaches every part of the stream.
    auto source = [&](void* buf, size_t n) -> size_t {
      if (calls++ == fail_at) throw std::runtime_error("source failed");
      return inner(buf, std::min<size_t>(n, 97));
    };
    Entries read;
    try {
      EXPECT_EQ(read.Read(source), 1);
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "source failed");
      continue;
    }
    // The source was read to its end without failing.
    EXPECT_EQ(read.data, std::vector<std::string>{data});
    EXPECT_GT(fail_at, static_cast<int>(container.size() / 97));
    break;
  }
}

// What reading a container came to: the entries' data and how many sinks
// were closed, the count returned, or the failure's text.
struct Outcome {
  std::vector<std::string> data;
  size_t closed = 0;
  int32_t count = -1;
  std::string error;
  friend bool operator==(const Outcome&, const Outcome&) = default;
};

void PrintTo(const Outcome& o, std::ostream* os) {
  *os << "count " << o.count << ", " << o.data.size() << " entries, " << o.closed << " closed, error '" << o.error
      << "'";
}

Outcome Pulled(const std::string& container) {
  Entries read;
  Outcome o;
  try {
    o.count = read.Read(container);
  } catch (const std::exception& e) {
    o.error = e.what();
  }
  o.data = read.data;
  o.closed = read.closed;
  return o;
}

// The same container pushed in pieces of `piece` bytes through one reader
// that has read other containers before.
Outcome Pushed(ContainerStreamReader& reader, const std::string& container, size_t piece) {
  Entries read;
  Outcome o;
  const OpenEntry open = [&read] { return std::make_unique<Entries::Sink>(read.data.emplace_back(), read.closed); };
  try {
    reader.Start(open);
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(container.data()), container.size());
    for (size_t at = 0; at < bytes.size(); at += piece) reader.Feed(bytes.subspan(at, std::min(piece, bytes.size() - at)));
    o.count = reader.Finish();
  } catch (const std::exception& e) {
    reader.Abort();
    o.error = e.what();
  }
  o.data = read.data;
  o.closed = read.closed;
  return o;
}

// Containers for the campaigns below: every good and bad case, and a small
// two-entry container cut, and damaged, at every byte.
std::vector<std::pair<std::string, std::string>> CampaignContainers() {
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& c : container_test::GoodCases()) {
    out.emplace_back(c.what, container_test::Deflate(container_test::Body(c.entries, c.last_end_byte)));
  }
  for (const auto& c : container_test::BadCases()) out.emplace_back(c.what, c.bytes);
  const std::string two = container_test::Deflate(container_test::Body({{"a", "first entry"}, {"bb", "second"}}));
  for (size_t cut = 0; cut < two.size(); ++cut) out.emplace_back("cut at " + std::to_string(cut), two.substr(0, cut));
  for (size_t at = 0; at < two.size(); ++at) {
    for (const uint8_t flip : {0x01, 0x80, 0xFF}) {
      std::string damaged = two;
      damaged[at] = static_cast<char>(damaged[at] ^ flip);
      out.emplace_back("byte " + std::to_string(at) + " ^ " + std::to_string(flip), damaged);
    }
  }
  return out;
}

TEST(ContainerStreamReader, PushedInAnyPiecesReadsAsTheContainerPulledWhole) {
  ContainerStreamReader reader;  // one reader for all: reuse must not leak state
  for (const auto& [what, container] : CampaignContainers()) {
    SCOPED_TRACE(what);
    const Outcome pulled = Pulled(container);
    for (const size_t piece : {size_t{1}, size_t{3}, size_t{4096}, container.size() + 1}) {
      SCOPED_TRACE(piece);
      const Outcome pushed = Pushed(reader, container, piece);
      if (pulled.error.empty()) {
        EXPECT_EQ(pushed, pulled);
      } else {
        // Bytes already written before a failure may differ with the block sizes; the failure may not.
        EXPECT_EQ(pushed.error, pulled.error);
      }
    }
  }
}

TEST(ContainerStreamReader, TheLastEntryIsStampedOpenAndClosedAtTheFinish) {
  const std::string two = container_test::Deflate(container_test::Body({{"a", "first entry"}, {"bb", "second"}}));
  for (const bool stamp : {true, false}) {
    SCOPED_TRACE(stamp);
    Entries read;
    const OpenEntry open = [&read] {
      read.data.emplace_back();
      return std::make_unique<Entries::Sink>(read.data.back(), read.closed, &read);
    };
    ContainerStreamReader reader;
    reader.Start(open);
    reader.Feed({reinterpret_cast<const uint8_t*>(two.data()), two.size()});
    EXPECT_EQ(read.closed, 1u);  // the first entry at its last byte; the last waits
    const auto when = stamp ? std::optional(DosDateTime{0x5821, 0x6000}) : std::nullopt;
    EXPECT_EQ(reader.Finish(when), 2);
    EXPECT_EQ(read.closed, 2u);
    using Stamps = std::vector<std::pair<size_t, size_t>>;
    EXPECT_EQ(read.stamps, (stamp ? Stamps{{1, 1}} : Stamps{}));
  }
}

TEST(ContainerStreamReader, ReadsWhatTheWriterWritesAcrossPieceBoundaries) {
  std::mt19937 rng(5);
  ContainerStreamReader reader;
  for (size_t size : {size_t{0}, size_t{1}, size_t{300000}, size_t{1u << 20}}) {
    SCOPED_TRACE(size);
    Bytes data(size);
    for (auto& b : data) b = static_cast<uint8_t>(rng() % 5);
    const Bytes packed = MakeContainer("x.bin", data);
    const Outcome pushed = Pushed(reader, std::string(packed.begin(), packed.end()), 1000);
    EXPECT_EQ(pushed.count, 1);
    ASSERT_EQ(pushed.data.size(), 1u);
    EXPECT_TRUE(pushed.data[0] == std::string(data.begin(), data.end()));
  }
}

}  // namespace
}  // namespace selvane
