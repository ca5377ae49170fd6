// Reading the ScanConfig document.
#include "config/ScanConfig.h"

#include "config/ConfigDate.h"
#include "config/FolderProductReaders.h"
#include "config/ProductReader.h"
#include "config/QORBProductReader.h"
#include "config/XmlDocument.h"
#include "finders/FileFinder.h"
#include "session/ScanContext.h"
#include "validation/FileFilter.h"
#include "validation/JarValidator.h"
#include "validation/PEValidator.h"
#include "validation/ValidatorFactory.h"

#include <memory>
#include <string_view>
#include <utility>

namespace {

// The reader each product element name selects; other names are skipped.
const std::pair<std::u16string_view, ProductReader> kProductReaders[] = {
    {u"MSIProduct", readMsiProduct},
    {u"SimpleProduct", readSimpleProduct},
    {u"QORBProduct", readQORBProduct},
};

ProductReader readerFor(const std::u16string& elementName) {
  for (const auto& [name, reader] : kProductReaders) {
    if (name == elementName)
      return reader;
  }
  return nullptr;
}

// The criteria and extensions of one Validator element.
struct ValidatorFields {
  std::u16string certificateHash;
  std::u16string startDate;
  std::u16string endDate;
  std::u16string companyName;
  std::u16string type;
  std::vector<std::u16string> extensions; // each with its leading ".", repeats kept
};

void readExtensions(const XmlElement& fileTypes, std::vector<std::u16string>& extensions) {
  for (const XmlElement& child : childElements(fileTypes)) {
    if (nodeName(child) != u"Extension")
      continue;
    std::u16string extension = nodeText(child);
    if (extension.empty())
      continue;
    if (extension.front() != u'.')
      extension.insert(extension.begin(), u'.');
    extensions.push_back(extension);
  }
}

ValidatorFields readValidatorFields(const XmlElement& element) {
  ValidatorFields fields;
  for (const XmlElement& child : childElements(element)) {
    std::u16string name = nodeName(child);
    if (name == u"CertificateHash")
      fields.certificateHash = nodeText(child);
    else if (name == u"StartDate")
      fields.startDate = nodeText(child);
    else if (name == u"EndDate")
      fields.endDate = nodeText(child);
    else if (name == u"CompanyName")
      fields.companyName = nodeText(child);
    else if (name == u"Type")
      fields.type = nodeText(child);
    else if (name == u"FileTypes")
      readExtensions(child, fields.extensions);
  }
  return fields;
}

std::unique_ptr<ValidatorBase> makeValidator(const std::u16string& type) {
  if (type == u"PE")
    return std::make_unique<PEValidator>();
  if (type == u"JAR")
    return std::make_unique<JarValidator>();
  return nullptr;
}

void readValidator(const XmlElement& element, ScanConfigValidators& result) {
  ValidatorFields fields = readValidatorFields(element);
  std::unique_ptr<ValidatorBase> validator = makeValidator(fields.type);
  if (!validator)
    return;
  if (!fields.certificateHash.empty())
    validator->certificateHash = fields.certificateHash;
  if (!fields.companyName.empty())
    validator->companyName = fields.companyName;
  if (!fields.startDate.empty())
    parseConfigDate(fields.startDate, validator->startDate);
  if (!fields.endDate.empty())
    parseConfigDate(fields.endDate, validator->endDate);
  for (const std::u16string& extension : fields.extensions) {
    result.factory->registerValidator(extension, validator.get());
    result.filter->addExtension(extension);
  }
  result.validators.push_back(std::move(validator));
}

// The Validator elements of a loaded document; false when there is none.
bool readValidators(const XmlDocumentPtr& document, ScanConfigValidators& result) {
  std::optional<XmlNodeList> validators;
  long count = 0;
  if (!selectXPath(document, u"/ScanConfig/Validators/Validator", validators, count))
    return false;
  result.factory = std::make_unique<CustomValidatorFactory>();
  result.filter = std::make_unique<CustomFileFilter>();
  result.validators.clear();
  for (long i = 0; i < count; ++i) {
    if (std::optional<XmlElement> validator = elementAt(validators, i))
      readValidator(*validator, result);
  }
  return true;
}

void readProduct(const XmlElement& element, ScanContext& context) {
  ProductReader reader = readerFor(nodeName(element));
  ProductReading reading;
  if (!reader || !reader(element, context, reading) || !reading.finder)
    return;
  context.products.insert(context.products.end(), reading.records.begin(),
                          reading.records.end());
  context.finders.push_back(std::move(reading.finder));
}

void readTarget(const XmlElement& element, ScanContext& context) {
  std::u16string nameSubstring;
  std::u16string url;
  for (const XmlElement& child : childElements(element)) {
    std::u16string name = nodeName(child);
    if (name == u"NameSubstring")
      nameSubstring = nodeText(child);
    else if (name == u"URL")
      url = nodeText(child);
  }
  if (!nameSubstring.empty() && !url.empty())
    context.updateLinks[nameSubstring] = url;
}

// Every element of the selection, in document order.
std::vector<XmlElement> selectElements(const XmlDocumentPtr& document,
                                       const std::u16string& expression) {
  std::optional<XmlNodeList> list;
  long count = 0;
  std::vector<XmlElement> elements;
  if (!selectXPath(document, expression, list, count))
    return elements;
  for (long i = 0; i < count; ++i) {
    if (std::optional<XmlElement> element = elementAt(list, i))
      elements.push_back(*element);
  }
  return elements;
}

} // namespace

void parseScanConfig(const std::u16string& text, ScanContext& context) {
  XmlDocumentPtr document;
  ScanConfigValidators validators;
  if (!loadXmlText(text, document) || !readValidators(document, validators))
    return;
  context.validatorFactory = std::move(validators.factory);
  context.fileFilter = std::move(validators.filter);
  for (std::unique_ptr<ValidatorBase>& validator : validators.validators)
    context.validators.push_back(std::move(validator));

  for (const XmlElement& product : selectElements(document, u"/ScanConfig/Products/*"))
    readProduct(product, context);
  for (const XmlElement& target : selectElements(document, u"/ScanConfig/ProductInfoTarget/Target"))
    readTarget(target, context);
}

bool readScanConfigValidators(const std::u16string& text, ScanConfigValidators& result) {
  XmlDocumentPtr document;
  ScanConfigValidators validators;
  if (!loadXmlText(text, document) || !readValidators(document, validators))
    return false;
  result = std::move(validators);
  return true;
}
