// The validator factory: hands the scan driver the validator for a file.
#pragma once

#include <map>
#include <string>

class ValidatorBase;

class AbstractValidatorFactory {
public:
  // The validator for the file at path, or null when none applies.
  virtual ValidatorBase* getValidator(const std::u16string& path) = 0;
  virtual ~AbstractValidatorFactory() = default;
};

// Maps extensions to validators it does not own. Keys are ordered by plain
// code-unit comparison; the first key (in that order) that ends the path, in
// any ASCII letter case, decides.
class CustomValidatorFactory : public AbstractValidatorFactory {
public:
  ValidatorBase* getValidator(const std::u16string& path) override;
  // Inserts the extension or replaces its validator: the later call wins.
  virtual void registerValidator(const std::u16string& extension,
                                 ValidatorBase* validator);

private:
  std::map<std::u16string, ValidatorBase*> validators; // not owned
};
