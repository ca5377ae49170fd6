// Work handed on in the order it was taken: the order holds whatever the
// threads and the time each piece takes, results stream out while pieces are
// still being taken, and no more than the slots are ever in flight.
#include "util/OrderedWork.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;

// A source of `count` numbered pieces whose work takes a varying time; it
// records what was handed on and the most pieces ever in flight.
struct NumberedPieces {
  explicit NumberedPieces(std::size_t count, std::size_t slots)
      : count(count), pieces(slots), results(slots) {}

  OrderedWork work() {
    OrderedWork work;
    work.take = [this](std::size_t slot) {
      if (taken == count)
        return false;
      pieces[slot] = taken++;
      maxInFlight = std::max(maxInFlight, taken - handedOnCount.load());
      return true;
    };
    work.work = [this](std::size_t slot) {
      // Every seventh piece is slow, so that later ones finish first.
      if (pieces[slot] % 7 == 0)
        std::this_thread::sleep_for(2ms);
      results[slot] = pieces[slot] * 3;
    };
    work.handOn = [this](std::size_t slot) {
      EXPECT_EQ(results[slot], pieces[slot] * 3);
      handedOn.push_back(pieces[slot]);
      ++handedOnCount;
    };
    return work;
  }

  std::size_t count;
  std::vector<std::size_t> pieces, results;
  std::size_t taken = 0;       // touched by take only, which never runs twice at once
  std::size_t maxInFlight = 0; // taken and not yet handed on, at the most
  std::atomic<std::size_t> handedOnCount{0};
  std::vector<std::size_t> handedOn; // touched by handOn only, on the calling thread
};

std::vector<std::size_t> upTo(std::size_t count) {
  std::vector<std::size_t> numbers(count);
  for (std::size_t i = 0; i < count; ++i)
    numbers[i] = i;
  return numbers;
}

} // namespace

TEST(OrderedWork, HandsOnInTakenOrderWhateverTheThreads) {
  for (unsigned workers : {1u, 2u, 8u}) {
    for (std::size_t count : {0u, 1u, 300u}) {
      NumberedPieces source(count, 16);
      runInOrder(source.work(), workers, 16, 10ms);
      EXPECT_EQ(source.handedOn, upTo(count)) << workers << " threads, " << count << " pieces";
    }
  }
}

TEST(OrderedWork, NeverHoldsMorePiecesThanSlots) {
  NumberedPieces source(200, 8);
  OrderedWork work = source.work();
  // The first piece is very slow: the others pile up behind it until the
  // slots are full, and then taking waits.
  auto plainWork = work.work;
  work.work = [&](std::size_t slot) {
    if (source.pieces[slot] == 0)
      std::this_thread::sleep_for(50ms);
    plainWork(slot);
  };
  runInOrder(work, 4, 8, 10ms);
  EXPECT_EQ(source.handedOn, upTo(200));
  EXPECT_EQ(source.maxInFlight, 8u);
}

TEST(OrderedWork, ResultsStreamWhilePiecesAreStillTaken) {
  // Taking is slow (a walk over a large folder): the first result must be
  // handed on long before the last piece is taken.
  std::vector<std::size_t> pieces(64);
  std::atomic<std::size_t> taken{0};
  std::size_t takenWhenFirstHandedOn = 0;
  bool first = true;
  OrderedWork work;
  work.take = [&](std::size_t slot) {
    if (taken == 40)
      return false;
    std::this_thread::sleep_for(3ms);
    pieces[slot] = taken++;
    return true;
  };
  work.work = [](std::size_t) {};
  work.handOn = [&](std::size_t) {
    if (first)
      takenWhenFirstHandedOn = taken;
    first = false;
  };
  runInOrder(work, 2, 64, 10ms);
  EXPECT_LT(takenWhenFirstHandedOn, 20u);
}

TEST(OrderedWork, TicksWhileAPieceTakesLong) {
  std::atomic<int> ticks{0};
  std::thread::id caller = std::this_thread::get_id(), ticker;
  bool taken = false;
  OrderedWork work;
  work.take = [&](std::size_t) { return !std::exchange(taken, true); };
  work.work = [](std::size_t) { std::this_thread::sleep_for(200ms); };
  work.handOn = [](std::size_t) {};
  work.tick = [&] {
    ++ticks;
    ticker = std::this_thread::get_id();
  };
  runInOrder(work, 2, 4, 20ms);
  EXPECT_GE(ticks.load(), 3);
  EXPECT_EQ(ticker, caller);
}

TEST(OrderedWork, APieceThatThrowsFailsAloneAndAHandOnThatThrowsEndsTheRun) {
  for (unsigned workers : {1u, 4u}) {
    std::vector<std::size_t> pieces(8);
    std::vector<int> results(8);
    std::vector<std::size_t> failures;
    std::size_t taken = 0, handedOn = 0;
    OrderedWork work;
    work.take = [&](std::size_t slot) {
      if (taken == 30)
        return false;
      pieces[slot] = taken++;
      return true;
    };
    work.work = [&](std::size_t slot) {
      results[slot] = -1; // the failure, unless the work gets further
      if (pieces[slot] % 7 == 2)
        throw std::runtime_error("piece failed");
      results[slot] = 1;
    };
    work.handOn = [&](std::size_t slot) {
      ++handedOn;
      if (results[slot] == -1)
        failures.push_back(pieces[slot]);
    };
    runInOrder(work, workers, 8, 10ms);
    EXPECT_EQ(handedOn, 30u) << workers;
    EXPECT_EQ(failures, (std::vector<std::size_t>{2, 9, 16, 23})) << workers;

    // A hand-on that throws: the exception reaches the caller, and the
    // threads, some of them waiting for room, end.
    taken = 0;
    work.handOn = [&](std::size_t slot) {
      if (pieces[slot] == 5)
        throw std::runtime_error("output failed");
    };
    EXPECT_THROW(runInOrder(work, workers, 8, 10ms), std::runtime_error) << workers;
  }
}
