#pragma once
// File times at the MS-DOS two-second resolution, in local time: how folder
// listings read them and how fetched files are stamped.

#include <optional>
#include <string>

#include "platform/env.h"

namespace selvane {

// Sets the file's last-write time to DataHora (odd seconds and milliseconds
// dropped). False when the file cannot be opened or the date lies outside
// 1980..2107; never throws.
bool DefineDataHoraArq(Env& env, const std::string& NomeArq, double DataHora);

// The file's last-write time as a TDateTime with even seconds; nullopt when it
// cannot be read.
std::optional<double> DataHoraArq(Env& env, const std::string& path);

}  // namespace selvane
