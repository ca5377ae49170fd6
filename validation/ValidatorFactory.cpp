// Extension-to-validator map.
#include "validation/ValidatorFactory.h"

#include "util/Text.h"

ValidatorBase* CustomValidatorFactory::getValidator(const std::u16string& path) {
  for (const auto& [extension, validator] : validators) {
    if (endsWithNoCase(path, extension))
      return validator;
  }
  return nullptr;
}

void CustomValidatorFactory::registerValidator(const std::u16string& extension,
                                               ValidatorBase* validator) {
  validators[extension] = validator;
}
