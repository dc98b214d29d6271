// Win32 error codes for errno values, for the stand-in's file writers.
#ifndef ZARNOLAUNCH_POSIX_ERROR_H
#define ZARNOLAUNCH_POSIX_ERROR_H

#include <errno.h>

#include "platform/platform.h"

// The nearest Win32 code; whatever has none is an I/O failure.  A directory
// where a file should go is "access denied", as Windows reports it.
inline long errorFromErrno(int e) {
  switch (e) {
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return PLAT_ERROR_ACCESS_DENIED;
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
    case ENAMETOOLONG:
      return PLAT_ERROR_PATH_NOT_FOUND;
    case ENOSPC:
    case EDQUOT:
      return PLAT_ERROR_DISK_FULL;
    case ENOMEM:
      return PLAT_ERROR_OUTOFMEMORY;
    default:
      return PLAT_ERROR_REGISTRY_IO_FAILED;
  }
}

#endif
