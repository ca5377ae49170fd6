// One affected file found by the scan.
#pragma once

class FileValueObject;

class Defect {
public:
  explicit Defect(FileValueObject* file) : file(file) {}
  virtual ~Defect() = default;

  FileValueObject* file; // not owned: the entry belongs to its finder
};
