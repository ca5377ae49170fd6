// The page's commands mapped onto the session controller; see PageCommands.h.
#include "session/PageCommands.h"

#include "session/SessionController.h"

std::int32_t runPageCommand(SessionController& controller, PageCommand command) {
  switch (command) {
  case PageCommand::getApplicationPath:
    controller.getApplicationPath();
    break;
  case PageCommand::getUIStrings:
    controller.getUIStrings();
    break;
  case PageCommand::quitApplication:
    controller.quitApplication();
    break;
  case PageCommand::quitApplicationWithoutConfirmation:
    controller.quitApplicationWithoutConfirmation();
    break;
  case PageCommand::getScanProgress:
    return controller.getScanProgress();
  case PageCommand::scanSystem:
    controller.scanSystem();
    break;
  case PageCommand::getSystemScanResult:
    controller.getSystemScanResult();
    break;
  }
  return 0;
}
