#include "platform/platform.h"

int main(int argc, char **argv) { return launcherMain(argc, argv); }
