// Defects.log: the plain-text report of the products that own affected
// files, with the paths of those files.
#pragma once

#include <memory>
#include <string>
#include <vector>

class Defect;

// Writes the report to path: groups by product in the order products are
// first reached in defects (an installer file counts for every product of its
// payload, a patch keeps its own group), paths in defects order, each entry
// once. UTF-8 without byte-order mark, CR LF line ends. False, and no file
// created, when no Defect reaches a product; false too when the file cannot
// be created.
bool writeDefectsLog(const std::vector<std::unique_ptr<Defect>>& defects,
                     const std::u16string& path);
