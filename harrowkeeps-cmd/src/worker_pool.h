// A few threads that take work off the walk over the source. Copying many
// small files mostly waits on the file system, and a flush waits on the
// disk: with the waiting spread over threads, the disk and both cores stay
// busy. The walk itself, every decision and everything shown stay on the
// calling thread; workers only write temporaries, look at the target and
// flush. Stop signals are held back on the workers, so the thread that
// started them takes every stop.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

struct WorkerPool {
  int wanted = 3;  // threads to start
  // Pieces of work done right here before any thread is started: a run
  // that copies a few files is over before threads would have paid off.
  int doneHereFirst = 4;
  int submitted = 0;
  bool started = false;
  std::mutex lock;
  std::condition_variable workWaiting;
  std::condition_variable workDone;  // some piece of work has ended
  std::deque<std::function<void()>> queue;
  std::vector<std::thread> threads;
  bool closing = false;
};

// The cores this process may run on.
int coresAvailable();

// Runs `work` on a worker; here while the run is young, or when no thread
// could be started. Work that ends marks itself done with markDone().
void submitWork(WorkerPool& pool, std::function<void()> work);

// Sets `flag` under the pool's lock and wakes a waiter.
void markDone(WorkerPool& pool, bool& flag);

// Whether `flag` is set, read under the pool's lock.
bool isDone(WorkerPool& pool, const bool& flag);

// Waits until `flag` is set, or until `nanoseconds` have passed (-1: no
// limit); true when it is set.
bool waitUntilDone(WorkerPool& pool, const bool& flag, long long nanoseconds);

// Lets the workers finish what was submitted, then ends them.
void stopWorkers(WorkerPool& pool);
