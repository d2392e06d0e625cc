#pragma once
// Containers for tests, built by hand so that they can also be what the
// server never writes: several entries, a missing end byte, negative lengths,
// damaged streams.

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "base/byte_order.h"

namespace selvane::container_test {

struct Entry {
  std::string name;
  std::string data;
};

// The inflated content of a container.
inline std::string Body(const std::vector<Entry>& entries, bool last_end_byte = true) {
  std::string body;
  AppendLe32(body, static_cast<uint32_t>(entries.size()));
  for (size_t i = 0; i < entries.size(); ++i) {
    AppendLe32(body, static_cast<uint32_t>(entries[i].name.size()));
    body += entries[i].name;
    AppendLe32(body, static_cast<uint32_t>(entries[i].data.size()));
    body += entries[i].data;
    if (last_end_byte || i + 1 < entries.size()) body.push_back('\0');
  }
  return body;
}

// Signed 32-bit little-endian integers, for bodies that lie about their lengths.
inline std::string Int32s(std::initializer_list<int32_t> values) {
  std::string out;
  for (int32_t v : values) AppendLe32(out, static_cast<uint32_t>(v));
  return out;
}

inline std::string Deflate(const std::string& raw) {
  uLongf size = compressBound(raw.size());
  std::string out(size, '\0');
  EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
                      raw.size(), 6),
            Z_OK);
  out.resize(size);
  return out;
}

// Containers that unpack, and the data of each of their entries.
struct GoodCase {
  const char* what;
  std::vector<Entry> entries;
  bool last_end_byte;
};

inline std::vector<GoodCase> GoodCases() {
  const std::string big(300 * 1024 + 7, 'x');
  return {
      {"one entry", {{"arquivo", "abc"}}, true},
      {"two entries", {{"a", "first"}, {"b", "second"}}, true},
      {"last end byte missing", {{"arquivo", "abc"}}, false},
      {"empty data", {{"arquivo", ""}}, true},
      {"empty name", {{"", "abc"}}, true},
      {"data larger than the copy blocks", {{"big", big}}, true},
  };
}

// Containers that fail, and their failure's text (nullptr: zlib's, whichever it is).
struct BadCase {
  const char* what;
  std::string bytes;
  const char* message;
};

inline std::vector<BadCase> BadCases() {
  const std::string good = Deflate(Body({{"arquivo", std::string(5000, 'z')}}));
  std::string bad_checksum = good;
  bad_checksum.back() = static_cast<char>(bad_checksum.back() ^ 0x55);
  std::string damaged = good;
  damaged[2] = static_cast<char>(0xFF);
  damaged[3] = static_cast<char>(0xFF);
  return {
      {"empty file", "", "Stream read error"},
      {"cut inside the count", good.substr(0, 3), "Stream read error"},
      {"cut inside the data", good.substr(0, good.size() / 2), "Stream read error"},
      {"cut inside the trailer", good.substr(0, good.size() - 2), "Stream read error"},
      {"count promises a second entry", Deflate(Body({{"a", "b"}}).replace(0, 1, "\x02")), "Stream read error"},
      {"negative name length", Deflate(Int32s({1, -5})), "Invalid stream format"},
      {"negative data length", Deflate(Int32s({1, 0, -1})), "Invalid stream format"},
      {"bad checksum", bad_checksum, "incorrect data check"},
      {"not zlib at all", "PK\x03\x04 this is a zip file", "incorrect header check"},
      {"damaged deflate data", damaged, nullptr},
  };
}

}  // namespace selvane::container_test
