// The driver of the window's end-to-end tests, a part of the window's test
// build only (orvia-fennick-test): it watches the dialog when the
// environment names a driver script (FENNICK_TEST_SCRIPT) and an output
// folder (FENNICK_TEST_OUT). It then runs the script in the page
// once the page has loaded, answers the quit question from
// FENNICK_TEST_CONFIRM ("yes" or "no", logging every question), and offers
// the script a message channel, window.webkit.messageHandlers.fennickTest,
// whose postMessage({op: ...}) returns a promise:
//   {op: 'snapshot', name}   the visible page as <out>/<name>.png
//   {op: 'write', name, text} a text file <out>/<name>
//   {op: 'key', key, ctrl}   a key press and release sent to the window
//                            (key: a GDK key name such as 'Escape', 'F5', 'a')
//   {op: 'close'}            the window's close box
//   {op: 'rightClick', x, y} a right click on the page
//   {op: 'state'}            JSON: closeAllowed, scanning, confirmations,
//                            closeRequests, contextMenus, served
#pragma once

#include "app/DialogObserver.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <memory>
#include <string>
#include <vector>

class PageTestDriver : public DialogObserver {
public:
  // The driver when the environment asks for one, else null.
  static std::unique_ptr<PageTestDriver> fromEnvironment();

  PageTestDriver(std::string script, std::string outputFolder, std::string confirmAnswer);

  void dialogCreated(COrviaKeltoDlg& dialog) override;
  // Registers the message channel with the page's content manager.
  void contentManagerCreated(WebKitUserContentManager* content) override;
  // Runs the driver script, the first time only.
  void pageLoaded() override;
  // Logs the question and answers it as FENNICK_TEST_CONFIRM says, if it
  // says.
  std::optional<bool> answerQuestion(const std::u16string& text,
                                     const std::u16string& caption) override;
  void served(const std::string& uri, bool found) override;
  void closeRequested(bool allowed) override;
  void contextMenuRefused() override { ++contextMenus; }

private:
  static gboolean onMessage(WebKitUserContentManager* content, JSCValue* message,
                            WebKitScriptMessageReply* reply, gpointer self);
  void handle(JSCValue* message, WebKitScriptMessageReply* reply);
  void snapshot(const std::string& name, WebKitScriptMessageReply* reply, JSCContext* context);
  void sendKey(const std::string& name, bool ctrl);
  void rightClick(int x, int y);
  std::string stateJson() const;

  COrviaKeltoDlg* dialog = nullptr; // set once the dialog exists
  std::string script;
  std::string outputFolder;
  std::string confirmAnswer; // "yes", "no" or empty (ask the user)
  bool started = false;
  std::vector<std::string> confirmations; // "caption|text" of every question
  std::vector<std::string> requests;      // "found uri" or "missing uri"
  int closeRequests = 0;
  int refusedCloseRequests = 0;
  int contextMenus = 0;
};
