// The platform's component library for the calling thread: the scan's
// worker, every thread of the checking pool and the thread that starts the
// folder-token helper enter a single-threaded apartment (CoInitialize with
// no reserved argument), since the trust provider and the shell may need it
// on any thread that checks files.
#pragma once

namespace platform {

// Enters the apartment and stays in it; the result is not read.
void initializeComLibrary();

// The calling thread's apartment for the lifetime of the object: entered on
// construction, as initializeComLibrary does, and left again on destruction
// (CoUninitialize) when the entry succeeded, so that a thread that ends
// leaves what it entered.
class ComApartment {
public:
  ComApartment();
  ~ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  // Whether this object entered (and will leave) an apartment.
  bool entered() const { return joined; }

private:
  bool joined = false;
};

} // namespace platform
