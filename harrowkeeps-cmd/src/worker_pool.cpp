#include "worker_pool.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <new>
#include <system_error>

#include "interrupt.h"

namespace {

std::vector<std::pair<std::uintptr_t, int>>::iterator busyEntry(WorkerPool& pool,
                                                                std::uintptr_t place) {
  return std::find_if(pool.busyPlaces.begin(), pool.busyPlaces.end(),
                      [&](const auto& known) { return known.first == place; });
}

// Pieces of work of `place` under way: one more, or one fewer.
void countBusy(WorkerPool& pool, std::uintptr_t place, int change) {
  auto busy = busyEntry(pool, place);
  if (busy == pool.busyPlaces.end()) busy = pool.busyPlaces.insert(busy, {place, 0});
  busy->second += change;
  if (busy->second == 0) pool.busyPlaces.erase(busy);
}

// The first piece of work in the queue whose place has room; the end when
// none has.
std::deque<PoolTask>::iterator nextTask(WorkerPool& pool) {
  if (pool.perPlace <= 0) return pool.queue.begin();
  return std::find_if(pool.queue.begin(), pool.queue.end(), [&](const PoolTask& task) {
    if (task.place == 0) return true;
    auto busy = busyEntry(pool, task.place);
    return busy == pool.busyPlaces.end() || busy->second < pool.perPlace;
  });
}

void workLoop(WorkerPool& pool) {
  noteStopsHeldOnThisThread();
  std::unique_lock<std::mutex> guard(pool.lock);
  for (;;) {
    std::deque<PoolTask>::iterator next;
    pool.workWaiting.wait(guard, [&] {
      next = nextTask(pool);
      return next != pool.queue.end() || (pool.closing && pool.queue.empty());
    });
    if (next == pool.queue.end()) return;
    PoolTask task = std::move(*next);
    pool.queue.erase(next);
    const bool counted = pool.perPlace > 0 && task.place != 0;
    if (counted) countBusy(pool, task.place, 1);
    guard.unlock();
    task.work();
    guard.lock();
    if (counted) {
      countBusy(pool, task.place, -1);
      // A piece of work of that place may be waiting behind others.
      pool.workWaiting.notify_all();
    }
  }
}

void startThreads(WorkerPool& pool) {
  pool.started = true;
  StopSignalsHeld held;  // inherited by every thread started here
  try {
    for (int i = 0; i < pool.wanted; ++i) pool.threads.emplace_back(workLoop, std::ref(pool));
  } catch (const std::exception&) {
    // Fewer threads, or none (no thread or no memory to be had): the work is
    // done all the same.
  }
}

}  // namespace

int coresAvailable() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) return CPU_COUNT(&allowed);
  long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<int>(online) : 1;
}

void submitWork(WorkerPool& pool, std::function<void()> work, std::uintptr_t place) {
  if (!pool.started) startThreads(pool);
  bool queued = false;
  if (!pool.threads.empty()) {
    std::lock_guard<std::mutex> guard(pool.lock);
    try {
      pool.queue.push_back(PoolTask{std::move(work), place});
      queued = true;
    } catch (const std::bad_alloc&) {
      // No room in the queue: done here, as if there were no threads.
    }
  }
  if (queued) {
    pool.workWaiting.notify_one();
  } else {
    work();
  }
}

void markDone(WorkerPool& pool, bool& flag) {
  {
    std::lock_guard<std::mutex> guard(pool.lock);
    flag = true;
  }
  pool.workDone.notify_all();
}

bool isDone(WorkerPool& pool, const bool& flag) {
  std::lock_guard<std::mutex> guard(pool.lock);
  return flag;
}

bool waitUntilDone(WorkerPool& pool, const bool& flag, long long nanoseconds) {
  std::unique_lock<std::mutex> guard(pool.lock);
  if (nanoseconds < 0) {
    pool.workDone.wait(guard, [&] { return flag; });
    return true;
  }
  return pool.workDone.wait_for(guard, std::chrono::nanoseconds(nanoseconds), [&] { return flag; });
}

void stopWorkers(WorkerPool& pool) {
  {
    std::lock_guard<std::mutex> guard(pool.lock);
    pool.closing = true;
  }
  pool.workWaiting.notify_all();
  for (std::thread& thread : pool.threads) thread.join();
  pool.threads.clear();
}
