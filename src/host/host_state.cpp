#include "host/host_state.h"

HostState hostState;
