// The products a scan's Defects reach, for the results page and the report.
#pragma once

#include <memory>
#include <vector>

class Defect;
class FileValueObject;
struct ProductRecord;

// The products a file belongs to: the products of its payload for an
// installer file, else its one product (none when that is null).
std::vector<ProductRecord*> productsOfFile(const FileValueObject& file);

// The affected-product set of the results page: every product reached by a
// Defect, a patch or language pack of the installer replaced by its parent
// products, each product once, in the order first reached.
std::vector<ProductRecord*> affectedProducts(const std::vector<std::unique_ptr<Defect>>& defects);

// The files through which product entered the affected set, in defects order.
std::vector<FileValueObject*> affectedFilesOf(const std::vector<std::unique_ptr<Defect>>& defects,
                                              const ProductRecord* product);

// The products shown as up to date: those of products that are installed,
// not excluded, not affected, and no patch or language pack of the installer.
std::vector<ProductRecord*> upToDateProducts(const std::vector<ProductRecord*>& affected,
                                             const std::vector<ProductRecord*>& products);
