// Nothing on this host calls into a component library, so a thread needs no
// preparation.
#include "platform/ComLibrary.h"

namespace platform {

void initializeComLibrary() {}

ComApartment::ComApartment() = default;

ComApartment::~ComApartment() = default;

} // namespace platform
