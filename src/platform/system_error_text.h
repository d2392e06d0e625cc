#pragma once
// The texts Windows gives for the system errors the file layer reports, and
// the messages of the file layer's exceptions built from them.

#include <string>

namespace selvane {

inline constexpr char kFileNotFoundText[] = "The system cannot find the file specified.";
inline constexpr char kPathNotFoundText[] = "The system cannot find the path specified.";
inline constexpr char kAccessDeniedText[] = "Access is denied.";
inline constexpr char kSharingViolationText[] =
    "The process cannot access the file because it is being used by another process.";
inline constexpr char kBadPathSyntaxText[] =
    "The filename, directory name, or volume label syntax is incorrect.";

// Cannot open file "<path>". <reason>
std::string OpenErrorMessage(const std::string& path, const std::string& reason);
// Cannot create file "<path>". <reason>
std::string CreateErrorMessage(const std::string& path, const std::string& reason);

#ifdef _WIN32
// FormatMessage's text for a system error or HRESULT, without the trailing
// line break; "Error <n>" when the system has no text for it.
std::string SystemErrorText(unsigned long code);
#else
// The Windows text for an errno value; ENOENT reads as a missing path when the
// file's folder is missing too.
std::string WindowsTextForErrno(int err, bool folder_missing);
#endif

}  // namespace selvane
