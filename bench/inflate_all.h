#pragma once
// The minimal clients' inflate step, shared by the native and the Windows
// floor: everything of `in` through `z`, each piece it makes handed to
// `write` from one reused output buffer. Returns inflate's last code; throws
// on damaged data.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

template <typename Write>
int InflateAll(z_stream& z, uint8_t* in, size_t n, std::vector<uint8_t>& out, const Write& write) {
  int rc = Z_OK;
  z.next_in = in;
  z.avail_in = static_cast<uInt>(n);
  while (z.avail_in != 0 && rc != Z_STREAM_END) {
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    rc = inflate(&z, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) throw std::runtime_error("inflate");
    write(out.data(), out.size() - z.avail_out);
  }
  return rc;
}
