// CoInitializeEx with a single-threaded apartment, which is CoInitialize.
// A second call on the same thread only counts up; the apartment is left
// when the thread ends.
#include "platform/ComLibrary.h"

#include <objbase.h>

namespace platform {

void initializeComLibrary() { (void)CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }

} // namespace platform
