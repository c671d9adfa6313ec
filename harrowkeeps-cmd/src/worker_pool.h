// Threads that take work off the walk over the source: writers that copy
// files into temporaries, and a flusher that flushes and names batches.
// The walk itself, every decision and everything shown stay on the calling
// thread. Stop signals are held back on the workers, so the thread that
// started them takes every stop.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

struct PoolTask {
  std::function<void()> work;
  std::uintptr_t place = 0;  // what the work contends for (a target folder)
};

struct WorkerPool {
  int wanted = 3;  // threads to start, at the first piece of work
  // At most this many pieces of work of one place at a time (0: any
  // number). A network file system holds a folder locked across every
  // round trip that makes or renames a file in it: threads beyond a couple
  // in one folder only queue there, while other folders could go on.
  int perPlace = 0;
  bool started = false;
  std::mutex lock;
  std::condition_variable workWaiting;
  std::condition_variable workDone;  // some piece of work has ended
  std::deque<PoolTask> queue;
  std::vector<std::pair<std::uintptr_t, int>> busyPlaces;
  std::vector<std::thread> threads;
  bool closing = false;
};

// The cores this process may run on.
int coresAvailable();

// Runs `work` on a worker, or here when no thread could be started. Work
// that ends marks itself done with markDone().
void submitWork(WorkerPool& pool, std::function<void()> work, std::uintptr_t place = 0);

// Sets `flag` under the pool's lock and wakes a waiter.
void markDone(WorkerPool& pool, bool& flag);

// Whether `flag` is set, read under the pool's lock.
bool isDone(WorkerPool& pool, const bool& flag);

// Waits until `flag` is set, or until `nanoseconds` have passed (-1: no
// limit); true when it is set.
bool waitUntilDone(WorkerPool& pool, const bool& flag, long long nanoseconds);

// Lets the workers finish what was submitted, then ends them.
void stopWorkers(WorkerPool& pool);
