#pragma once
#include "console/key_event.h"

// What the keyboard logic needs of a console input queue; one implementation per host.

// The event at the head of the queue, left there; false when the queue is empty or the look fails.
bool hostPeekEvent(KeyEvent& event);
// Removes the event at the head.
void hostRemoveEvent();
// Discards the whole queue.
void hostFlushEvents();
// The 1 ms pause of `waitKey` before each look. A host may first wait, without using the
// processor, until the queue may have an event to look at.
void hostPause();
// Blocks until the queue may have an event to look at.
void hostWaitForInput();
