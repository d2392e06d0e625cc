#include "protocol/file_signature.h"

#include <algorithm>

namespace selvane {

namespace {

constexpr std::array<std::string_view, 22> kSignedEndings = {
    ".exe", ".dll", ".bpl", ".ocx", ".sys", ".drv", ".cpl", ".scr", ".com", ".msi", ".msp",
    ".bat", ".cmd", ".ps1", ".vbs", ".vbe", ".js",  ".jse", ".wsf", ".wsh", ".hta", ".pif",
};

}  // namespace

std::string SignedName(std::string_view file_name) {
  std::string out(file_name);
  for (size_t i = 0; i < out.size(); ++i) {
    const auto c = static_cast<unsigned char>(out[i]);
    if (c >= 'a' && c <= 'z') {
      out[i] = static_cast<char>(c - 32);
    } else if (c == 0xC3 && i + 1 < out.size()) {
      // U+00E0..U+00FE but the division sign: their capitals are 0x20 below.
      const auto n = static_cast<unsigned char>(out[i + 1]);
      if (n >= 0xA0 && n <= 0xBE && n != 0xB7) out[i + 1] = static_cast<char>(n - 0x20);
      if (n == 0xBF) out.replace(i, 2, "\xC5\xB8");  // U+00FF's capital is U+0178
      ++i;
    }
  }
  return out;
}

bool NeedsSignature(std::string_view file_name) {
  const std::string name = SignedName(file_name);
  return std::any_of(kSignedEndings.begin(), kSignedEndings.end(), [&](std::string_view ending) {
    return name.ends_with(SignedName(ending));
  });
}

std::vector<uint8_t> SignedMessageHead(std::string_view file_name) {
  std::vector<uint8_t> out(kSignedFileTag.begin(), kSignedFileTag.end());
  const std::string name = SignedName(file_name);
  out.insert(out.end(), name.begin(), name.end());
  out.push_back(0);
  return out;
}

std::vector<uint8_t> SignedMessageTail(uint64_t length) {
  std::vector<uint8_t> out;
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(length >> (8 * i)));
  return out;
}

void FeedSignedMessage(std::string_view file_name, ReadableFile& file,
                       const std::function<void(std::span<const uint8_t>)>& feed) {
  feed(SignedMessageHead(file_name));
  std::vector<uint8_t> buf(64 * 1024);
  uint64_t length = 0;
  while (const size_t n = file.Read(buf.data(), buf.size())) {
    feed(std::span<const uint8_t>(buf.data(), n));
    length += n;
  }
  feed(SignedMessageTail(length));
}

std::vector<uint8_t> SignatureFileBytes(const SignatureValue& value) {
  std::vector<uint8_t> out(kSignatureMagic.begin(), kSignatureMagic.end());
  out.push_back(kSignatureVersion);
  out.insert(out.end(), value.begin(), value.end());
  return out;
}

SignatureValue ParseSignatureFile(std::span<const uint8_t> bytes) {
  const size_t magic = kSignatureMagic.size();
  if (bytes.size() < magic + 1 || !std::equal(kSignatureMagic.begin(), kSignatureMagic.end(), bytes.begin())) {
    throw ESignatureFormat("o arquivo de assinatura não está no formato esperado.");
  }
  if (bytes[magic] != kSignatureVersion) {
    throw ESignatureFormat("versão de assinatura " + std::to_string(bytes[magic]) + " não suportada.");
  }
  if (bytes.size() < kSignatureFileSize) {
    throw ESignatureFormat("o arquivo de assinatura está incompleto (" + std::to_string(bytes.size()) + " de " +
                           std::to_string(kSignatureFileSize) + " bytes).");
  }
  if (bytes.size() > kSignatureFileSize) {
    throw ESignatureFormat("o arquivo de assinatura tem bytes além dos " + std::to_string(kSignatureFileSize) +
                           " esperados.");
  }
  SignatureValue value;
  std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(magic + 1), bytes.end(), value.begin());
  return value;
}

}  // namespace selvane
