// CoInitializeEx with a single-threaded apartment, which is CoInitialize.
// A second call on the same thread only counts up; every successful call,
// S_FALSE included, is matched by one CoUninitialize when the thread leaves.
#include "platform/ComLibrary.h"

#include <objbase.h>

namespace platform {

void initializeComLibrary() { (void)CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }

ComApartment::ComApartment()
    : joined(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}

ComApartment::~ComApartment() {
  if (joined)
    CoUninitialize();
}

} // namespace platform
