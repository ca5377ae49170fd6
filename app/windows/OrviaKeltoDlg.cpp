// The main window on Windows: the HTML dialog wired to the session controller.
#include "app/windows/OrviaKeltoDlg.h"

#include "app/windows/ExternalDispatch.h"
#include "app/windows/HtmlDialog.h"
#include "app/windows/WindowResources.h"
#include "session/PageCommands.h"
#include "session/SessionController.h"

#include <string>
#include <vector>

namespace {

// The full path of the executable, or nothing.
std::u16string modulePath(HINSTANCE module) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameW(module, buffer.data(), DWORD(buffer.size()));
    if (length == 0)
      return {};
    if (length < buffer.size())
      return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()), length);
    buffer.resize(buffer.size() * 2);
  }
}

} // namespace

COrviaKeltoDlg::COrviaKeltoDlg(HINSTANCE module, Confirm confirm)
    : module(module), confirm(std::move(confirm)) {
  externalObject = ExternalDispatch::create(
      [this](PageCommand command) { return runPageCommand(*session, command); });

  SessionController::Host controllerHost;
  controllerHost.scripts = this;
  controllerHost.confirm = [this](const std::u16string& text, const std::u16string& caption) {
    return askYesNo(text, caption);
  };
  controllerHost.endDialog = [this] { host->endDialog(); };
  controllerHost.closeEnabledChanged = [this](bool enabled) { host->setCloseEnabled(enabled); };
  session = std::make_unique<SessionController>(std::move(controllerHost));

  HtmlDialog::Handlers handlers;
  handlers.cancel = [this] { onCancel(); };
  handlers.closeAllowed = [this] { return session->closeAllowed(); };
  handlers.initialized = [this] { session->prepareSession(); };
  host = std::make_unique<HtmlDialog>(module, kDialogTemplateId, kApplicationIconId,
                                      externalObject.get(), std::move(handlers));
}

COrviaKeltoDlg::~COrviaKeltoDlg() {
  // A page that still holds window.external reaches nothing from now on.
  externalObject->disconnect();
  // The session goes first: its scratch folder is removed before the window.
  session.reset();
  host.reset();
}

int COrviaKeltoDlg::doModal() {
  std::string id = std::to_string(kPageResourceId);
  return host->doModal(resourceBase(modulePath(module)) + std::u16string(id.begin(), id.end()));
}

void COrviaKeltoDlg::runScript(const std::u16string& statement) { host->runScript(statement); }

void COrviaKeltoDlg::onCancel() { session->quitApplication(); }

bool COrviaKeltoDlg::askYesNo(const std::u16string& text, const std::u16string& caption) {
  if (confirm)
    return confirm(text, caption);
  return MessageBoxW(host->window(), reinterpret_cast<const wchar_t*>(text.c_str()),
                     reinterpret_cast<const wchar_t*>(caption.c_str()), MB_YESNO) == IDYES;
}
