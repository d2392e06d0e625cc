#include "protocol/container_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "protocol/container_reader.h"
#include "protocol/container_test_util.h"

namespace selvane {
namespace {

Bytes Inflate(const Bytes& z) {
  uLongf size = 0;
  Bytes out(1 << 20);
  for (;;) {
    size = out.size();
    const int rc = uncompress(out.data(), &size, z.data(), z.size());
    if (rc == Z_OK) break;
    if (rc != Z_BUF_ERROR) throw std::runtime_error("inflate failed");
    out.resize(out.size() * 4);
  }
  out.resize(size);
  return out;
}

Bytes Expected(std::string_view name, const Bytes& data) {
  const std::string body = container_test::Body({{std::string(name), std::string(data.begin(), data.end())}});
  return Bytes(body.begin(), body.end());
}

TEST(ContainerWriter, WritesOneEntryInAZlibStream) {
  const Bytes abc{'a', 'b', 'c'};
  const Bytes z = MakeContainer("arquivo", abc);
  ASSERT_GE(z.size(), 6u);
  EXPECT_EQ(z[0], 0x78) << "zlib header, 32 KiB window";
  EXPECT_EQ((z[0] * 256 + z[1]) % 31, 0);
  EXPECT_EQ(Inflate(z), Expected("arquivo", abc));
}

TEST(ContainerWriter, StreamsDataAppendedInPiecesOfAnySize) {
  std::mt19937 rng(7);
  Bytes data(300000);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  ContainerWriter w("big.bin", data.size());
  size_t at = 0;
  for (size_t piece : {0, 1, 70000, 65536, 3}) {
    w.Append({data.data() + at, piece});
    at += piece;
  }
  w.Append({data.data() + at, data.size() - at});
  EXPECT_EQ(Inflate(w.Finish()), Expected("big.bin", data));
}

TEST(ContainerWriter, EmptyFileAndEmptyName) {
  EXPECT_EQ(Inflate(MakeContainer("", {})), Expected("", {}));
}

TEST(ContainerWriter, RefusesDataThatDoesNotMatchTheAnnouncedLength) {
  const Bytes four{1, 2, 3, 4};
  ContainerWriter more("x", 3);
  EXPECT_THROW(more.Append(four), ContainerError);
  ContainerWriter fewer("x", 5);
  fewer.Append(four);
  EXPECT_THROW(fewer.Finish(), ContainerError);
  EXPECT_THROW(ContainerWriter("x", uint64_t{1} << 31), ContainerError);
}

}  // namespace
}  // namespace selvane
