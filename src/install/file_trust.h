#pragma once
// Signed files: with a trust key, nothing executable is put in place unless
// the signature file beside it was made with the key's private half for that
// very file under that very name (protocol/file_signature.h).

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"
#include "platform/signature_check.h"

namespace selvane {

class EUnsignedFile : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "A assinatura de <name> não é válida: <reason>"
std::string UnsignedFileText(std::string_view name, std::string_view reason);

// Throws EUnsignedFile naming `name` unless `signature_path` holds `key`'s
// signature of the file at `content_path` under the name `name`. A missing
// signature file is such a failure.
void CheckSignedFile(Env& env, const TrustKey& key, const std::string& content_path, std::string_view name,
                     const std::string& signature_path);

// The files of one synchronisation step before they are put in place: the
// fetched file `names[i]` waits in `temporary(i)` (when it exists; a later
// entry of the same name wins, as it does when the step is committed). Every
// one that needs a signature is checked against the signature that will be
// beside it afterwards: the one fetched in the same step, or else the one
// already in `folder`. Throws EUnsignedFile for the first that fails.
void CheckStepSignatures(Env& env, const TrustKey& key, const std::string& folder,
                         const std::vector<std::string>& names,
                         const std::function<std::string(size_t index)>& temporary);

}  // namespace selvane
