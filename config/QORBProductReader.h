// Reader of the scan configuration's QORBProduct element: all products of
// the vendor's own installer, found through its databases.
#pragma once

#include "config/ProductReader.h"

// Children excludedOrviaCode/OrviaCode (product codes never listed as not
// affected) and ExcludedSuffixes/ExcludedSuffix make one QORBFileFinder;
// the records are all the products it read, in its order (none when the
// installer has none here). The child id is read and means nothing. False
// only for an element without any child.
bool readQORBProduct(const XmlElement& element, const ScanContext& context,
                     ProductReading& reading);
