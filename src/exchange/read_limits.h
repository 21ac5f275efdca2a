#pragma once

// The readers of outside files keep to the memory budget of lib/read_budget.h.
#include "lib/read_budget.h"
