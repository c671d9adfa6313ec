// Running out of memory in the middle of a copy: a reserve is given back the
// first time an allocation fails, so that the allocation and the copy's
// orderly end (what is in flight taken back, temporaries removed, the names
// not copied listed, the count) still find room; the walk stops at its next
// look, as for a stop signal. Should memory run out again after that, the
// allocation throws, and the engine ends in order all the same.
#pragma once

// Sets aside the reserve and installs the handler; undone by the other.
void setMemoryReserveAside();
void giveUpMemoryReserve();

// Whether memory ran out since the reserve was set aside. Any thread.
bool memoryRanOut();
