// Fuzz target: a ScanConfig document read into a session, on a machine
// without drives (nothing on the host is found or read).
#include "config/ScanConfig.h"
#include "platform/WindowsNamespace.h"
#include "session/ScanContext.h"
#include "util/Text.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static bool once = [] {
    platform::setPrefix("/nonexistent-fennick-fuzz-prefix");
    return true;
  }();
  (void)once;
  std::u16string text;
  utf8ToWide(std::string(reinterpret_cast<const char*>(data), size), text);
  ScanContext context;
  parseScanConfig(text, context);
  ScanConfigValidators validators;
  readScanConfigValidators(text, validators);
  return 0;
}
