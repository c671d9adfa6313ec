#pragma once
#include <cstdint>
#include <string>

// The keyboard: key strings of 0, 1 or 2 bytes from the console's own input queue.

// -1 when a key is waiting (it stays in the queue), 0 when not. Never waits.
int32_t keyAvailable();
// The waiting key, removed from the queue; empty when none. Never waits.
std::string readKey();
// The next key, waiting for it; pauses 1 ms before every look.
std::string waitKey();
// Discards everything typed ahead (only when standard input is the console).
void flushKeys();

// The menus' wait between two `keyAvailable` polls that found nothing. A poll that spins
// without pause would keep a processor core busy for as long as a menu is on screen, so this
// blocks until the console has input again (or something else needs a look) instead.
void waitForKeyboardInput();

// Looks at the head of the queue, dropping events that yield no key; the found key's event
// stays at the head.
bool peekKey(std::string& key);
