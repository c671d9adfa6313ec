#pragma once
// The console's start belongs to the screen seam; its declaration lives with the others there.
#include "console/screen.h"
#include "console/screen_host.h"
