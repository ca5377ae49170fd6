// The main window: a fixed-size GTK window whose whole client area is a
// WebKit view showing the page from the executable's resource table. The
// page reaches the session controller through window.external; the
// controller answers by running statements in the page.
#pragma once

#include "session/ScriptSink.h"
#include "session/SessionController.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <memory>
#include <string>

class DialogObserver;

class COrviaKeltoDlg : public ScriptSink {
public:
  // What doModal returns when the dialog ends (IDCANCEL).
  static constexpr int kResultCancel = 2;

  // Makes the controller (and with it the Localizer); no window yet. The
  // observer, when there is one, outlives the dialog.
  explicit COrviaKeltoDlg(DialogObserver* observer = nullptr);
  // Discards the session (removing its scratch folder) and the window.
  ~COrviaKeltoDlg() override;
  COrviaKeltoDlg(const COrviaKeltoDlg&) = delete;
  COrviaKeltoDlg& operator=(const COrviaKeltoDlg&) = delete;

  // Creates and shows the window, prepares the first session and runs until
  // the dialog ends; returns the dialog's result.
  int doModal();

  // Runs one statement in the page (ScriptSink); the result and any script
  // error are ignored.
  void runScript(const std::u16string& statement) override;

  // The dialog's cancel action (Escape, the close box): quitApplication.
  void onCancel();

  GtkWidget* window() const { return windowWidget; }
  WebKitWebView* view() const { return webView; }
  SessionController& controller() { return *session; }

private:
  void onInitDialog();
  void createWindow();
  void applyHostSettings();
  void registerSchemes(WebKitWebContext* context);
  void installExternalObject(WebKitUserContentManager* content);

  bool confirm(const std::u16string& text, const std::u16string& caption);
  void endDialog();
  void closeEnabledChanged(bool enabled);

  // Scheme handlers.
  void serveResource(WebKitURISchemeRequest* request);
  void serveCommand(WebKitURISchemeRequest* request);
  void serveIcon(WebKitURISchemeRequest* request);

  // Signal handlers.
  static gboolean onKey(GtkWidget* widget, GdkEventKey* event, gpointer self);
  static gboolean onDelete(GtkWidget* widget, GdkEvent* event, gpointer self);
  static gboolean onContextMenu(WebKitWebView* view, WebKitContextMenu* menu, GdkEvent* event,
                                WebKitHitTestResult* hit, gpointer self);
  static gboolean onDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer self);
  static void onLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);

  std::unique_ptr<SessionController> session;
  DialogObserver* observer = nullptr;          // not owned; null in normal use
  GtkWidget* windowWidget = nullptr;           // owned by GTK; destroyed by ~COrviaKeltoDlg
  WebKitWebView* webView = nullptr;            // child of windowWidget
  WebKitWebContext* webContext = nullptr;      // owned
  GdkPixbuf* icon = nullptr;                   // owned; the application icon
  GMainLoop* modalLoop = nullptr;              // runs while doModal waits
  guint pendingQuit = 0;                       // idle source of a page's quitApplication
  int result = kResultCancel;
  bool ended = false;
  bool asking = false; // the quit question is open
};
