// Runs independent pieces of work on several threads while one thread, the
// caller, takes every result in hand: the work is numbered, taken in number
// order by the threads, and each finished number is handed back to the
// caller, which alone then touches shared state (progress, results, output).
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

// The number of threads that keeps every processor busy: the count of
// processors the system reports, at least 1.
unsigned defaultWorkerCount();

// The most threads a front end may ask for.
inline constexpr unsigned kMaxWorkerCount = 1024;

// Reads a thread count given on a command line: decimal digits only, from 1
// to kMaxWorkerCount. False, count untouched, for anything else.
bool parseWorkerCount(std::string_view text, unsigned& count);

// Calls work(i) for every i in [0, count) on up to `workers` threads of its
// own, which take the numbers in increasing order, and calls finished(i) on
// the calling thread once for every i, in the order the work finishes (so
// not necessarily in number order). Everything work(i) wrote is visible to
// finished(i). Returns when every call of finished has returned; the
// threads have then ended. Each thread of its own runs in a COM apartment
// of its own (platform::ComApartment), left when the thread ends; work run
// on the caller runs in the caller's.
//
// With workers <= 1, or fewer than two pieces of work, no thread is made:
// the caller runs work(i) then finished(i) for each i in order. When the
// system refuses some of the threads (a process or memory limit), the work
// goes on with those that could be made; when it refuses all of them, the
// caller runs everything as with one worker.
//
// A work(i) that throws ends neither the other pieces nor the process: the
// exception is dropped, and finished(i) is called all the same, seeing what
// work(i) wrote before it threw. Callers set a piece's result to its
// failure before the work, so a piece that throws finishes as a failure.
// An exception from finished itself reaches the caller once every thread
// has been joined.
void runOnWorkers(std::size_t count, unsigned workers,
                  const std::function<void(std::size_t)>& work,
                  const std::function<void(std::size_t)>& finished);
