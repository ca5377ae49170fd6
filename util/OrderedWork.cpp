// The reorder buffer: worker threads take pieces from the source one at a
// time and mark them done; the calling thread hands on the longest run of
// done pieces that follows the last one handed on.
#include "util/OrderedWork.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Does one piece; an exception it throws is the failure of that piece alone.
void doPiece(const OrderedWork& work, std::size_t slot) {
  try {
    work.work(slot);
  } catch (...) {
  }
}

// The caller does everything itself, piece by piece.
void runOnCaller(const OrderedWork& work, std::size_t slots, std::chrono::milliseconds tick) {
  Clock::time_point nextTick = Clock::now() + tick;
  for (std::size_t piece = 0;; ++piece) {
    const std::size_t slot = piece % slots;
    if (!work.take(slot))
      break;
    doPiece(work, slot);
    work.handOn(slot);
    if (work.handedOn)
      work.handedOn();
    if (work.tick && Clock::now() >= nextTick) {
      work.tick();
      nextTick = Clock::now() + tick;
    }
  }
}

class Reorder {
public:
  Reorder(const OrderedWork& work, std::size_t slots) : work_(work), slots_(slots), done_(slots) {}

  // A worker: takes pieces while the window has room, does them, marks them done.
  void worker() {
    while (true) {
      std::size_t slot;
      {
        // One taker at a time, so that pieces are taken in order; the
        // state lock is held only around the counters.
        std::lock_guard taking(takeMutex_);
        {
          std::unique_lock lock(mutex_);
          roomChanged_.wait(lock, [&] { return exhausted_ || taken_ < handedOn_ + slots_; });
          if (exhausted_)
            return;
          slot = taken_ % slots_;
        }
        const bool got = work_.take(slot);
        {
          std::lock_guard lock(mutex_);
          if (got)
            ++taken_;
          else
            exhausted_ = true;
        }
        if (!got) {
          roomChanged_.notify_all();
          doneChanged_.notify_all();
          return;
        }
      }
      doPiece(work_, slot);
      {
        std::lock_guard lock(mutex_);
        done_[slot] = true;
      }
      doneChanged_.notify_all();
    }
  }

  // The calling thread: hands on every done piece in order until the
  // source is exhausted and every piece taken is handed on.
  void handOnAll(std::chrono::milliseconds tick) {
    Clock::time_point nextTick = Clock::now() + tick;
    std::unique_lock lock(mutex_);
    while (true) {
      doneChanged_.wait_until(lock, nextTick, [&] {
        return done_[handedOn_ % slots_] || (exhausted_ && handedOn_ == taken_);
      });
      if (done_[handedOn_ % slots_]) {
        std::size_t end = handedOn_;
        while (end < taken_ && done_[end % slots_])
          ++end;
        const std::size_t first = handedOn_;
        lock.unlock();
        for (std::size_t piece = first; piece < end; ++piece)
          work_.handOn(piece % slots_);
        if (work_.handedOn)
          work_.handedOn();
        lock.lock();
        for (std::size_t piece = first; piece < end; ++piece)
          done_[piece % slots_] = false;
        handedOn_ = end;
        roomChanged_.notify_all();
      } else if (exhausted_ && handedOn_ == taken_) {
        return;
      }
      if (Clock::now() >= nextTick) {
        if (work_.tick) {
          lock.unlock();
          work_.tick();
          lock.lock();
        }
        nextTick = Clock::now() + tick;
      }
    }
  }

  // Ends the taking of pieces: the workers stop once their piece is done.
  // For a caller that leaves early (its hand-on threw).
  void abandon() {
    {
      std::lock_guard lock(mutex_);
      exhausted_ = true;
    }
    roomChanged_.notify_all();
  }

private:
  const OrderedWork& work_;
  const std::size_t slots_;
  std::mutex takeMutex_; // held by the one worker that is taking a piece
  std::mutex mutex_;     // guards everything below
  std::condition_variable roomChanged_; // a piece was handed on, or the source ran dry
  std::condition_variable doneChanged_; // a piece was done, or the source ran dry
  std::vector<char> done_;              // per slot: its piece is done and not yet handed on
  std::size_t taken_ = 0;               // pieces taken so far
  std::size_t handedOn_ = 0;            // pieces handed on so far
  bool exhausted_ = false;              // take said there is no piece left
};

// Joins the threads it holds when it goes, whichever way the scope ends.
struct JoiningThreads {
  std::vector<std::thread> threads;
  ~JoiningThreads() {
    for (std::thread& thread : threads)
      thread.join();
  }
};

} // namespace

void runInOrder(const OrderedWork& work, unsigned workers, std::size_t slots,
                std::chrono::milliseconds tick) {
  slots = std::max<std::size_t>({slots, workers, 1});
  if (workers <= 1) {
    runOnCaller(work, slots, tick);
    return;
  }
  Reorder reorder(work, slots);
  JoiningThreads pool;
  pool.threads.reserve(workers);
  for (unsigned i = 0; i < workers; ++i) {
    try {
      pool.threads.emplace_back([&reorder] { reorder.worker(); });
    } catch (const std::system_error&) {
      break; // the system makes no more threads: the ones made do the work
    }
  }
  if (pool.threads.empty()) {
    runOnCaller(work, slots, tick);
    return;
  }
  try {
    reorder.handOnAll(tick);
  } catch (...) {
    reorder.abandon(); // so that the threads end and can be joined
    throw;
  }
}
