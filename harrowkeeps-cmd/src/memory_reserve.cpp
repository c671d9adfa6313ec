#include "memory_reserve.h"

#include <atomic>
#include <new>

namespace {

constexpr std::size_t reserveSize = 4u << 20;

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
  char* block = new (std::nothrow) char[reserveSize];
  // Touched, so that it is memory the system has really given us.
  if (block)
    for (std::size_t i = 0; i < reserveSize; i += 4096) block[i] = 0;
  delete[] reserve.exchange(block);
  previous = std::set_new_handler(onAllocationFailed);
}

void giveUpMemoryReserve() {
  std::set_new_handler(previous);
  delete[] reserve.exchange(nullptr);
}

bool memoryRanOut() {
  return ranOut.load(std::memory_order_relaxed);
}
