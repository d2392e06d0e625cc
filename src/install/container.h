#pragma once
// The container in which the server delivers one file: a zlib stream holding an
// entry count and, per entry, a name, the data and an end byte (all integers
// 32-bit signed little-endian). Every entry's data goes to the same target, so
// the last entry wins; entry names are read and dropped.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "install/inflate_reader.h"
#include "platform/env.h"

namespace selvane {

// A name or data length below zero: the container is not one of ours.
class EInvalidContainer : public std::runtime_error {
 public:
  EInvalidContainer() : std::runtime_error("Invalid stream format") {}
};

// Unpacks the container read from `container`: for every entry opens a fresh
// sink through `create_target` and streams the entry's data into it in blocks.
// Returns the number of entries written (0 when the count is zero or negative,
// and then `create_target` is never called). The whole stream, trailer
// included, must be present; anything short or damaged throws.
int32_t UnpackContainer(ReadableFile& container,
                        const std::function<std::unique_ptr<WritableFile>()>& create_target);

// Unpacks the container file `ArquivoZip` into `ArquivoDestino`. The data is
// written to a temporary file beside the target and put in its place only once
// the container has been read whole, so a failure leaves the target as it was
// and no temporary file behind. A container with no entry leaves the target
// untouched.
void Descomprimir(Env& env, const std::string& ArquivoZip, const std::string& ArquivoDestino);

// Unpacking a container onto its own path cannot work: the container is held
// without sharing while it is read. Throws the file layer's EFCreateError for
// `target` when both paths name the same file.
void CheckContainerIsNotTarget(const std::string& container, const std::string& target);

// The temporary file that Descomprimir fills before replacing `target`.
std::string UnpackTempPath(const std::string& target);

}  // namespace selvane
