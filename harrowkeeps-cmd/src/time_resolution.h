// Reading the step in which a file system keeps modification times off one
// time it was given and the time it kept.
#pragma once

#include <time.h>

// What a file system that kept `stored` when given `set` keeps: the
// largest of 2 s, 1 s, 100 ms, ... 1 ns that the stored time is a whole
// multiple of; timesNotKept when the stored time is not within that step of
// the one set.
long long resolutionFromStored(const timespec& set, const timespec& stored);

// The steps file systems keep times in, coarsest first, in nanoseconds:
// 2 s, 1 s, 100 ms ... 1 ns.
extern const long long timeSteps[11];

// The time a probe sets: an odd second, so 2-second steps show, and a
// fraction that no coarser step divides.
timespec probeTime();
