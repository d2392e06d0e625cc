#pragma once
// The signature file that travels beside a signed file on the update server
// ("VendraECF.exe.sig" beside "VendraECF.exe"). The server serves it as one
// more file of the folder; only the updater reads it.
//
//   offset 0   6 bytes   "SLVSIG"
//   offset 6   1 byte    format version, 1
//   offset 7  64 bytes   ECDSA P-256 signature r || s, each 32 bytes big-endian
//
// The signature is over SHA-256 of the signed message: the domain tag
// "Selvane signed file\0", the file's name within its folder folded to
// capitals (SignedName) and a NUL, the file's bytes, then their count as 8
// bytes little-endian (last, so that a file is read once; the NUL ends the
// name, so no two files give the same message). The name binds a signature to its file, so that it
// cannot be moved to another one; the folding follows Windows, which takes
// "vendraecf.EXE" for the same file as "VendraECF.exe".

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_stream.h"

namespace selvane {

inline constexpr std::string_view kSignatureMagic = "SLVSIG";
inline constexpr uint8_t kSignatureVersion = 1;
inline constexpr size_t kSignatureBytes = 64;
inline constexpr size_t kSignatureFileSize = kSignatureMagic.size() + 1 + kSignatureBytes;
inline constexpr std::string_view kSignatureSuffix = ".sig";
inline constexpr std::string_view kSignedFileTag{"Selvane signed file\0", 20};

using SignatureValue = std::array<uint8_t, kSignatureBytes>;

// A signature file that is not of this format; the text says why.
class ESignatureFormat : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// True for the files that must come signed: what Windows runs or loads as
// code by itself. Programs and libraries (.exe .dll .bpl .ocx .sys .drv .cpl
// .scr .com: loaded as code, or run by a double click as .scr and .com are),
// installers (.msi .msp), and scripts the shell runs when the file is opened
// (.bat .cmd .ps1 .vbs .vbe .js .jse .wsf .wsh .hta .pif). Data files, the
// signature files themselves included, come unsigned. The name is the plain
// name in the folder, letter case aside.
bool NeedsSignature(std::string_view file_name);

// The name as it enters the signed message: ASCII and Latin-1 letters in
// capitals (UTF-8 in, UTF-8 out), every other character as it is.
std::string SignedName(std::string_view file_name);

// The signed message's bytes before the file's own, and after them.
std::vector<uint8_t> SignedMessageHead(std::string_view file_name);
std::vector<uint8_t> SignedMessageTail(uint64_t length);

// Gives `feed` the signed message of `file_name` with the content `file`
// (read to its end) in pieces, in order.
void FeedSignedMessage(std::string_view file_name, ReadableFile& file,
                       const std::function<void(std::span<const uint8_t>)>& feed);

// The signature file's bytes for `value`.
std::vector<uint8_t> SignatureFileBytes(const SignatureValue& value);

// The signature in a signature file's bytes; ESignatureFormat when they are
// not exactly one signature of this format and version.
SignatureValue ParseSignatureFile(std::span<const uint8_t> bytes);

}  // namespace selvane
