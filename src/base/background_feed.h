#pragma once
// Hands the pieces of a byte stream to a consumer that runs on a thread of its
// own, so that whoever receives the stream goes on receiving while the
// consumer works (a large file inflates and is written while its next part is
// on the way). Pieces are copied into one of two buffers and handed on in
// batches, in order; a producer that gets ahead waits for a free buffer, so
// memory stays at two batches whatever the stream's length. The consumer's
// first exception stops it: later pieces are dropped, and Finish returns it.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace selvane {

class BackgroundFeed {
 public:
  using Consumer = std::function<void(std::span<const uint8_t>)>;

  // Starts the consumer's thread; batches hold `batch` bytes or more.
  explicit BackgroundFeed(Consumer consume, size_t batch = 512 * 1024);
  // Waits for the consumer; what it still had and any failure are dropped.
  ~BackgroundFeed();
  BackgroundFeed(const BackgroundFeed&) = delete;
  BackgroundFeed& operator=(const BackgroundFeed&) = delete;

  void Feed(std::span<const uint8_t> bytes);
  // Hands on the last batch and waits until everything fed is consumed (or
  // the consumer failed); the consumer's exception, or null.
  std::exception_ptr Finish();

 private:
  void HandOn();  // the filling buffer goes to the consumer
  void Run();

  const Consumer consume_;
  const size_t batch_;
  std::vector<uint8_t> buffers_[2];
  int filling_ = 0;        // the producer's buffer
  bool handed_[2] = {};    // a buffer the consumer has still to consume
  bool stop_ = false;
  std::exception_ptr failure_;
  std::mutex mu_;
  std::condition_variable changed_;
  std::thread thread_;  // last: starts once everything above is made
};

}  // namespace selvane
