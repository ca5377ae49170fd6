// Readers of the scan configuration's folder-based products: MSIProduct (a
// product installed by Windows Installer) and SimpleProduct (a set of
// folders).
#pragma once

#include "config/ProductReader.h"

// Children ProductCode, DisplayName, Folders/Folder,
// ExcludedSuffixes/ExcludedSuffix and icon make an MsiFileFinder with one
// MsiProductRecord. A non-empty DisplayName replaces the installed name.
bool readMsiProduct(const XmlElement& element, const ScanContext& context, ProductReading& reading);

// Children DisplayName, Folders/Folder, ExcludedSuffixes/ExcludedSuffix and
// icon make a FolderFinder with one ProductRecord.
bool readSimpleProduct(const XmlElement& element, const ScanContext& context,
                       ProductReading& reading);
