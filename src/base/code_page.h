#pragma once
// The single-byte (ANSI) code page in which record-set strings travel. Env
// implementations are code pages of their platform; code that needs nothing
// else of the system (the record sets) takes just this.

#include <string>
#include <string_view>

namespace selvane {

class CodePage {
 public:
  virtual ~CodePage() = default;
  // UTF-8 to the code page; characters it lacks become its default character.
  virtual std::string ToAnsi(std::string_view utf8) = 0;
  virtual std::string FromAnsi(std::string_view ansi) = 0;
};

}  // namespace selvane
