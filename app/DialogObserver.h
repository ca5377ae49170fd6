// What the main window reports to a watcher of its own choosing, and the one
// answer a watcher may give in the user's place. The installed program has
// none; a build that drives the window from outside (its end-to-end tests)
// hands one to COrviaKeltoApp.
#pragma once

#include <webkit2/webkit2.h>

#include <optional>
#include <string>

class COrviaKeltoDlg;

class DialogObserver {
public:
  virtual ~DialogObserver() = default;

  // The dialog exists (its window not yet); it outlives every later call.
  virtual void dialogCreated(COrviaKeltoDlg& dialog) = 0;
  // The page's content manager, before the view that uses it is made.
  virtual void contentManagerCreated(WebKitUserContentManager* content) = 0;
  // A page finished loading (the first page and every reload).
  virtual void pageLoaded() = 0;
  // The quit question: the answer in the user's place, or none to ask the
  // user.
  virtual std::optional<bool> answerQuestion(const std::u16string& text,
                                             const std::u16string& caption) = 0;
  // A request of the resource or icon scheme, and whether it was answered.
  virtual void served(const std::string& uri, bool found) = 0;
  // The close box, and whether closing was allowed at the time.
  virtual void closeRequested(bool allowed) = 0;
  // A context menu the view was asked for (and did not show).
  virtual void contextMenuRefused() = 0;
};
