// Session configuration state and the life of its scratch folder.
#include "session/ScanContext.h"

#include "finders/FileFinder.h"
#include "session/ScratchFolder.h"
#include "validation/FileFilter.h"
#include "validation/ValidatorBase.h"
#include "validation/ValidatorFactory.h"

ScanContext::ScanContext() { createScratchFolder(scratchFolder); }

ScanContext::~ScanContext() {
  validatorFactory.reset();
  fileFilter.reset();
  products.clear();
  finders.clear();
  validators.clear();
  if (!scratchFolder.empty())
    removeFolderTree(scratchFolder);
}
