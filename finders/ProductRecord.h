// Product records: what the results page and the report show of a product.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

using ProductKind = std::int32_t;
inline constexpr ProductKind kProductKindFolder = 0;    // a SimpleProduct
inline constexpr ProductKind kProductKindMsi = 1;       // MsiProductRecord
inline constexpr ProductKind kProductKindInstaller = 2; // QORBProductRecord

struct ProductRecord {
  // Records are owned through base pointers by the finders that make them.
  virtual ~ProductRecord() = default;

  std::string id;            // UTF-8: product code or ProductID; empty for folders
  std::u16string displayName;
  bool installed = false;
  bool excluded = false;
  bool patchOrLangPack = false; // meaningful only for kind 2
  std::u16string iconPath;      // PNG in the scratch folder, or empty
  ProductKind kind = kProductKindFolder;
};

struct MsiProductRecord : ProductRecord {
  MsiProductRecord() { kind = kProductKindMsi; }
  std::u16string installLocation;
};

struct QORBProductRecord : ProductRecord {
  QORBProductRecord() { kind = kProductKindInstaller; }
  std::set<std::string> dependencyPayloadIds; // byte-wise order
  // Parent products of a patch or language pack, without duplicates, in the
  // order they were linked (not owned).
  std::vector<QORBProductRecord*> parentProducts;
};
