// Work of unknown length done on several threads and handed on in the order
// it was taken, each piece as soon as it and every piece before it are done:
// the reorder buffer behind output that streams in input order whatever
// the number of threads. Memory stays bounded: at most `slots` pieces are
// taken and not yet handed on at any time, so a slow piece holds back the
// taking of new ones rather than letting finished ones pile up.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>

// What runInOrder calls. A piece lives in one of the slots numbered 0 to
// slots - 1 from the moment it is taken until it has been handed on; the
// caller keeps the pieces and their results in arrays of that many entries.
// The n-th piece taken (counting from 0) lives in slot n % slots.
struct OrderedWork {
  // Fills slot with the next piece; false when there is none left (then it
  // is not called again). Calls never overlap and come in piece order, so
  // the source needs no lock of its own.
  std::function<bool(std::size_t slot)> take;
  // Does the piece in slot; runs on a worker thread, several at a time on
  // different slots. A work that throws ends neither the other pieces nor
  // the process: the exception is dropped and the piece is handed on with
  // what the work wrote before it threw (so callers set a piece's result to
  // its failure first).
  std::function<void(std::size_t slot)> work;
  // Hands the done piece in slot on; runs on the calling thread, once for
  // every piece, in the order the pieces were taken. Everything take and
  // work wrote for the slot is visible here.
  std::function<void(std::size_t slot)> handOn;
  // Optional: called on the calling thread after a run of pieces was handed
  // on (to flush output, for example).
  std::function<void()> handedOn;
  // Optional: called on the calling thread about every tick while work goes
  // on (to show progress, for example).
  std::function<void()> tick;
};

// Runs the work on `workers` threads of its own (fewer when the system
// cannot make that many; none with workers <= 1, when the caller does
// everything itself in piece order) and returns when every piece taken has
// been handed on. An exception from handOn reaches the caller once every
// thread has ended. `slots` is raised to at least workers so that every
// thread can have a piece.
void runInOrder(const OrderedWork& work, unsigned workers, std::size_t slots,
                std::chrono::milliseconds tick);
