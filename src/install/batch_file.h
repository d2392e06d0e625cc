#pragma once
// Batch files as cmd.exe reads them: 8-bit text in the system code page, no
// byte-order mark, every line (the last too) ended by CR LF.

#include <string>
#include <vector>

#include "platform/env.h"

namespace selvane {

using BatchLines = std::vector<std::string>;

// The file's bytes for these UTF-8 lines.
std::string BatchFileBytes(Env& env, const BatchLines& lines);

// Creates or replaces the file; a file that cannot be written throws the file
// layer's error.
void SaveBatchFile(Env& env, const std::string& path, const BatchLines& lines);

}  // namespace selvane
