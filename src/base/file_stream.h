#pragma once
// The byte streams of an open file, apart from the Env that opens them, so
// that code below the platform layer (a record set saving a blob, the
// container reader) can read and write files it is handed.

#include <cstddef>

#include "base/dos_time.h"

namespace selvane {

class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // Reads up to n bytes; returns 0 only at the end of the file. Throws EInOutError.
  virtual size_t Read(void* buf, size_t n) = 0;
};

class WritableFile {
 public:
  virtual ~WritableFile() = default;
  // Writes all n bytes or throws EInOutError.
  virtual void Write(const void* buf, size_t n) = 0;
  // Sets the last-write time (local time) through the open handle, so that
  // stamping a new file costs no second open; false when it could not be set.
  // Later writes would move the time again: stamp after the last write.
  virtual bool SetLastWriteDos(DosDateTime when) = 0;
  // Closes the handle; throws EInOutError if pending data could not be written.
  virtual void Close() = 0;
};

}  // namespace selvane
