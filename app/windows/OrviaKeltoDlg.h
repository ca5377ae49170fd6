// The main window on Windows: the HTML dialog showing the page from the
// executable's resources, with the session controller behind the page's
// window.external. The controller answers by running statements in the page.
#pragma once

#include "app/windows/ComSupport.h"
#include "session/ScriptSink.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

class ExternalDispatch;
class HtmlDialog;
class SessionController;

class COrviaKeltoDlg : public ScriptSink {
public:
  // Asks a Yes/No question; true for Yes.
  using Confirm = std::function<bool(const std::u16string& text, const std::u16string& caption)>;

  // module: the executable whose resources hold the dialog and the page.
  // confirm: the quit question; a modal MessageBoxW (Yes/No) owned by the
  // dialog when empty.
  explicit COrviaKeltoDlg(HINSTANCE module, Confirm confirm = {});
  // Discards the session (removing its scratch folder), then the window.
  ~COrviaKeltoDlg() override;
  COrviaKeltoDlg(const COrviaKeltoDlg&) = delete;
  COrviaKeltoDlg& operator=(const COrviaKeltoDlg&) = delete;

  // Shows the window with the page, prepares the first session and runs
  // until the dialog ends. Returns IDCANCEL, or -1 when the window or the
  // HTML control could not be created.
  int doModal();

  // Runs one statement in the page (ScriptSink).
  void runScript(const std::u16string& statement) override;

  // The dialog's cancel action (Escape, the close box): quitApplication.
  void onCancel();

  SessionController& controller() { return *session; }
  HtmlDialog& dialog() { return *host; }
  ExternalDispatch& external() { return *externalObject.get(); }

private:
  bool askYesNo(const std::u16string& text, const std::u16string& caption);

  HINSTANCE module;
  Confirm confirm;
  ComRef<ExternalDispatch> externalObject; // the page's window.external
  std::unique_ptr<SessionController> session;
  std::unique_ptr<HtmlDialog> host;
};
