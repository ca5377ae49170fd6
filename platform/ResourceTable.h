// The shape of the resource table that the build generates from resources/
// and links into every executable that carries resources.
#pragma once

#include <cstddef>

namespace platform {

struct ResourceEntry {
  const char* type;          // "23" for HTML, "301", "CSS", "PNG", "ZDCT", ...
  unsigned id;               // the resource id
  const unsigned char* data; // the bytes, never null for a real entry
  unsigned long size;        // number of bytes
};

// Ends with an entry whose type is null.
extern const ResourceEntry resourceTable[];

} // namespace platform
