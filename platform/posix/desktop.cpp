// The Linux desktop's side of "-install" and "-uninstall".
#include "platform/platform.h"

long platDesktopInstall(const char *self, PlatNote note, const char **what) {
  (void)self;
  (void)note;
  (void)what;
  return PLAT_OK;
}

long platDesktopUninstall(const char *self, PlatNote note, const char **what) {
  (void)self;
  (void)note;
  (void)what;
  return PLAT_OK;
}
