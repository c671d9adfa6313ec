#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The program's lists of strings, indexed from 0. Like every other run-time service they never
// fail to their caller: a bad index or dimension raises a run-time error and the statement goes
// on with a fallback.

using StringList = std::vector<std::string>;

// Gives the list the elements 0 to `lastIndex`, all empty, whatever it held before. A last
// index below 0 raises 9 and leaves the list without elements; so does a list the memory can't
// be had for, raising 7.
void dimensionList(StringList& list, int32_t lastIndex);

// The element at `index`. An index outside the list raises 9 and gives a scratch element
// instead, emptied anew at each such error: reading it gives the empty string, and writing to
// it changes no element of any list.
std::string& listElement(StringList& list, int32_t index);

// The highest index of the list; -1 for a list without elements.
int32_t lastListIndex(const StringList& list);
