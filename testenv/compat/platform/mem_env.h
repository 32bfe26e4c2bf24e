// The old place of this header, kept while some tests still include it
// from there; include "testenv/mem_env.h" instead.
#pragma once

#include "testenv/mem_env.h"
