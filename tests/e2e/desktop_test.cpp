// The Linux desktop: "-install" and "-uninstall" with the freedesktop tools.
#include "e2e/fixture.h"
