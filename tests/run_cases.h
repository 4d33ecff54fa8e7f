// What the end-to-end tests in C++ include: the programs run in fresh folders with files laid
// out for them, and the expected images.
#pragma once

#include "expected_image.h"
#include "program_runner.h"
