#include "memory_reserve.h"

#include <atomic>
#include <new>

namespace {

// Room for the end of a copy: its messages and lists. Left untouched, so it
// is address space (what ulimit -v and a failed allocation are about), not
// memory the run holds.
constexpr std::size_t reserveSize = 1u << 20;

std::atomic<char*> reserve{nullptr};
std::atomic<bool> ranOut{false};
std::new_handler previous = nullptr;

// Called by operator new, on whichever thread, when an allocation fails.
void onAllocationFailed() {
  ranOut.store(true);
  if (char* block = reserve.exchange(nullptr)) {
    delete[] block;
    return;  // operator new tries again, now with the reserve's room
  }
  throw std::bad_alloc();
}

}  // namespace

void setMemoryReserveAside() {
  ranOut.store(false);
  delete[] reserve.exchange(new (std::nothrow) char[reserveSize]);
  previous = std::set_new_handler(onAllocationFailed);
}

void giveUpMemoryReserve() {
  std::set_new_handler(previous);
  delete[] reserve.exchange(nullptr);
}

bool memoryRanOut() {
  return ranOut.load(std::memory_order_relaxed);
}
