// Wine detection on hosts that are no Windows: the program never runs
// under Wine there.
#include "platform/WineHost.h"

namespace platform {

bool runningUnderWine() { return false; }

} // namespace platform
