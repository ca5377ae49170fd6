// File entries: one listed file each, owned by the finder that made it.
#pragma once

#include <string>

struct ProductRecord;
struct PayloadEntry;

class ValueObject {
public:
  virtual ~ValueObject() = default;
};

class FileValueObject : public ValueObject {
public:
  FileValueObject(std::u16string path, ProductRecord* product)
      : path(std::move(path)), product(product) {}

  std::u16string path;     // full Windows path as the finder formed it
  ProductRecord* product;  // not owned; null for installer-database entries
};

class MsiFileValueObject : public FileValueObject {
public:
  using FileValueObject::FileValueObject;
};

// A file of the vendor installer; its products are those of its payload.
class QORBFileValueObject : public FileValueObject {
public:
  QORBFileValueObject(std::u16string path, PayloadEntry* payload)
      : FileValueObject(std::move(path), nullptr), payload(payload) {}

  PayloadEntry* payload; // not owned
};
