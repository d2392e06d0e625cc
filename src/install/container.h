#pragma once
// The file side of a fetched container (its format is protocol/container_reader.h):
// unpacking a container file onto the target that it replaces.

#include <cstdint>
#include <string>

#include "platform/env.h"
#include "protocol/container_reader.h"

namespace selvane {

// Unpacks the container file `ArquivoZip` into `ArquivoDestino`: every entry's
// data goes to the target, so the last entry wins. The data is written to a
// temporary file beside the target and put in its place only once the
// container has been read whole, so a failure leaves the target as it was and
// no temporary file behind. A container with no entry leaves the target
// untouched. Returns the number of entries written.
int32_t Descomprimir(Env& env, const std::string& ArquivoZip, const std::string& ArquivoDestino);

// Unpacking a container onto its own file cannot work: the container is held
// without sharing while it is read, and writing the container would already
// have destroyed the target. Throws the file layer's EFCreateError for
// `target` when the file system says both paths name one file, however they
// are spelled (letter case with accents, 8.3 aliases); deletes nothing.
void CheckContainerIsNotTarget(Env& env, const std::string& container, const std::string& target);

// The temporary file that Descomprimir fills before replacing `target`.
std::string UnpackTempPath(const std::string& target);

}  // namespace selvane
