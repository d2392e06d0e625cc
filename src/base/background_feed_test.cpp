#include "base/background_feed.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>

namespace selvane {
namespace {

std::span<const uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// Pieces of every size, batches smaller and larger than a piece, and a
// consumer slower than the producer: what arrives is the stream, in order.
TEST(BackgroundFeed, TheConsumerGetsTheStreamInOrder) {
  std::string stream;
  for (int i = 0; i < 20000; ++i) stream += static_cast<char>('a' + (i * 7 + i / 13) % 26);
  for (const size_t batch : {size_t{1}, size_t{100}, size_t{4096}, size_t{1} << 20}) {
    for (const size_t piece : {size_t{1}, size_t{333}, size_t{8192}}) {
      SCOPED_TRACE("batch " + std::to_string(batch) + ", pieces of " + std::to_string(piece));
      std::string got;
      BackgroundFeed feed(
          [&](std::span<const uint8_t> bytes) {
            got.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            if (got.size() % 7 == 0) std::this_thread::yield();
          },
          batch);
      for (size_t at = 0; at < stream.size(); at += piece) feed.Feed(Bytes(stream.substr(at, piece)));
      EXPECT_EQ(feed.Finish(), nullptr);
      EXPECT_EQ(got, stream);
    }
  }
}

// The consumer's first failure is the one returned; nothing after it is
// consumed, and the producer is never held up by a consumer that has stopped.
TEST(BackgroundFeed, TheFirstFailureStopsTheConsumer) {
  for (const size_t fail_at : {size_t{0}, size_t{1}, size_t{5}, size_t{99}}) {
    SCOPED_TRACE(fail_at);
    std::atomic<size_t> batches{0};
    BackgroundFeed feed(
        [&](std::span<const uint8_t>) {
          const size_t n = batches++;
          if (n >= fail_at) throw std::runtime_error("batch " + std::to_string(n));
        },
        10);
    for (int i = 0; i < 1000; ++i) feed.Feed(Bytes("0123456789"));
    const std::exception_ptr failure = feed.Finish();
    ASSERT_NE(failure, nullptr);
    try {
      std::rethrow_exception(failure);
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "batch " + std::to_string(fail_at));
    }
    EXPECT_EQ(batches.load(), fail_at + 1);
  }
}

// Given up half-way (the stream failed on the producer's side): the feed goes
// without waiting for what it still had.
TEST(BackgroundFeed, AFeedLeftUnfinishedEndsAtOnce) {
  std::atomic<size_t> consumed{0};
  {
    BackgroundFeed feed([&](std::span<const uint8_t> bytes) { consumed += bytes.size(); }, 4);
    for (int i = 0; i < 100; ++i) feed.Feed(Bytes("abcd"));
  }
  EXPECT_LE(consumed.load(), 400u);
  BackgroundFeed unused([](std::span<const uint8_t>) { FAIL() << "nothing was fed"; });
  EXPECT_EQ(unused.Finish(), nullptr);
}

}  // namespace
}  // namespace selvane
