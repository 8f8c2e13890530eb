#pragma once
// Shared helpers for the runtime tests.
#include "tests/support/Printers.h"
