#include "worker_pool.h"

#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <new>
#include <system_error>

#include "interrupt.h"

namespace {

void workLoop(WorkerPool& pool) {
  noteStopsHeldOnThisThread();
  std::unique_lock<std::mutex> guard(pool.lock);
  for (;;) {
    pool.workWaiting.wait(guard, [&] { return pool.closing || !pool.queue.empty(); });
    if (pool.queue.empty()) return;
    std::function<void()> work = std::move(pool.queue.front());
    pool.queue.pop_front();
    guard.unlock();
    work();
    guard.lock();
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

void submitWork(WorkerPool& pool, std::function<void()> work) {
  if (!pool.started && ++pool.submitted > pool.doneHereFirst) startThreads(pool);
  bool queued = false;
  if (!pool.threads.empty()) {
    std::lock_guard<std::mutex> guard(pool.lock);
    try {
      pool.queue.push_back(std::move(work));
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
