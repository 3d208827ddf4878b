// The program-wide settings record, on its own so that a program can use the
// record (the body field reads the two switches) without the profile functions.
#include "app/settings.h"

SaverSettings saverSettings{};
