// The throwaway installation under its old name, for the test folders that have not switched to
// "support/install.h" yet (with the system headers the old one brought along).
#pragma once

#include "support/files.h"
#include "support/install.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
