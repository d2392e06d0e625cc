#include <cerrno>
#include <cstring>

#include "platform/system_error_text.h"

namespace selvane {

std::string WindowsTextForErrno(int err, bool folder_missing) {
  switch (err) {
    case ENOENT:
      return folder_missing ? kPathNotFoundText : kFileNotFoundText;
    case ENOTDIR:
      return kPathNotFoundText;
    case EACCES:
    case EPERM:
    case EISDIR:
      return kAccessDeniedText;
    case EROFS:
      return "The media is write protected.";
    case ENOSPC:
    case EDQUOT:
      return "There is not enough space on the disk.";
    case EEXIST:
      return "The file exists.";
    case ENAMETOOLONG:
      return "The filename or extension is too long.";
    case EMFILE:
    case ENFILE:
      return "The system cannot open the file.";
    case EINVAL:
      return kBadPathSyntaxText;
    case EIO:
      return "The request could not be performed because of an I/O device error.";
    default:
      return std::strerror(err);
  }
}

}  // namespace selvane
