// Lookup in the resource table generated at build time.
#include "platform/Resources.h"

#include "platform/ResourceTable.h"

namespace platform {

std::span<const std::uint8_t> findResource(std::string_view type,
                                           std::uint32_t id) {
  for (const ResourceEntry* entry = resourceTable; entry->type; ++entry) {
    if (entry->id == id && type == entry->type)
      return {entry->data, entry->size};
  }
  return {};
}

} // namespace platform
