// The platform's component library for the calling thread: the scan's
// worker and the thread that starts the folder-token helper enter a
// single-threaded apartment (CoInitialize with no reserved argument) and
// never leave it; the result is not read.
#pragma once

namespace platform {

void initializeComLibrary();

} // namespace platform
