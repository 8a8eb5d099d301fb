// The support layer's helpers under their old name, for the test folders that have not switched to
// "support/util.h" yet (with the system headers the old one brought along).
#pragma once

#include "support/util.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
