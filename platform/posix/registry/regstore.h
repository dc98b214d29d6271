// The registry file behind the stand-in's registry calls (regstore.cpp).
#ifndef ZARNOLAUNCH_POSIX_REGSTORE_H
#define ZARNOLAUNCH_POSIX_REGSTORE_H

#include <string>

// Where the registry file is: $ZARNOLAUNCH_REGISTRY, else under
// $XDG_CONFIG_HOME or ~/.config.  False when the environment gives it no
// place (no absolute HOME).
bool registryFilePath(std::string &path);

#endif
