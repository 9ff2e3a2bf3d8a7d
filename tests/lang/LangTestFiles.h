#pragma once
// Forwards to the shared temporary directory; tests/cli still includes this name.
#include "support/TempFile.h"

using support::TempDir;
