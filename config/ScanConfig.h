// The scan configuration reader: turns the ScanConfig document into the
// session's validators, file filter, validator factory, finders, products
// and update links.
#pragma once

#include "validation/FileFilter.h"
#include "validation/ValidatorBase.h"
#include "validation/ValidatorFactory.h"

#include <memory>
#include <string>
#include <vector>

class ScanContext;

// Reads the UTF-16 text of a ScanConfig document into context, whose scratch
// folder and folder tokens must be ready. A document that does not load, or
// that has no /ScanConfig/Validators/Validator, leaves the context as it
// was: without validators nothing, products and targets included, is read.
// Otherwise the context gets one CustomValidatorFactory and one
// CustomFileFilter, a PEValidator or JarValidator for every Validator whose
// Type is "PE" or "JAR", a finder and its records for every product element
// a reader accepts, and an update link for every Target with both a
// NameSubstring and a URL (a later Target replaces an earlier one).
void parseScanConfig(const std::u16string& text, ScanContext& context);

// The validator part of a ScanConfig document on its own: one
// CustomValidatorFactory and one CustomFileFilter holding the extensions of
// every accepted Validator, and those validators in document order.
struct ScanConfigValidators {
  std::unique_ptr<CustomValidatorFactory> factory;
  std::unique_ptr<CustomFileFilter> filter;
  std::vector<std::unique_ptr<ValidatorBase>> validators;
};

// Reads only the Validator elements, by the same rules as parseScanConfig.
// False, with result untouched, when the text does not load or has no
// Validator element.
bool readScanConfigValidators(const std::u16string& text, ScanConfigValidators& result);
