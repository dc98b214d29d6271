// Message boxes as dialogs on a Linux desktop.
#include "e2e/fixture.h"
