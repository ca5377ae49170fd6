// The main window: GTK window, WebKit view, resource and command schemes,
// host settings and the session controller behind the page.
#include "app/OrviaKeltoDlg.h"

#include "app/ExternalBridge.h"
#include "app/PageAddress.h"
#include "app/DialogObserver.h"
#include "platform/Files.h"
#include "platform/Resources.h"
#include "platform/WindowsNamespace.h"
#include "session/PageCommands.h"
#include "session/ScanContext.h"
#include "util/Text.h"

#include <glib-unix.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

// The dialog template: 400 by 300 dialog units of an 8-point "MS Shell Dlg",
// whose dialog base units are 6 by 13 pixels.
constexpr int kTemplateWidth = 400;
constexpr int kTemplateHeight = 300;
constexpr int kFontBaseX = 6;
constexpr int kFontBaseY = 13;

constexpr const char* kCaption = "Orvia Fennick";
constexpr const char* kPageAddress = "res:/HTML/#151";
constexpr std::string_view kIconGroupType = "14"; // RT_GROUP_ICON
constexpr std::uint32_t kApplicationIconId = 128;

std::string toUtf8(const std::u16string& text) {
  std::string utf8;
  wideToUtf8(text, utf8);
  return utf8;
}

void finishWithBytes(WebKitURISchemeRequest* request, const void* data, gsize size,
                     const std::string& contentType, bool ownsCopy) {
  GInputStream* stream =
      ownsCopy ? g_memory_input_stream_new_from_data(g_memdup2(data, size), gssize(size), g_free)
               : g_memory_input_stream_new_from_data(data, gssize(size), nullptr);
  WebKitURISchemeResponse* response = webkit_uri_scheme_response_new(stream, gint64(size));
  webkit_uri_scheme_response_set_content_type(response, contentType.c_str());
  SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
  soup_message_headers_append(headers, "Access-Control-Allow-Origin", "*");
  soup_message_headers_append(headers, "Cache-Control", "no-store");
  webkit_uri_scheme_response_set_http_headers(response, headers); // takes the headers
  webkit_uri_scheme_request_finish_with_response(request, response);
  g_object_unref(response);
  g_object_unref(stream);
}

void finishNotFound(WebKitURISchemeRequest* request) {
  GError* error = g_error_new(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "not found: %s",
                              webkit_uri_scheme_request_get_uri(request));
  webkit_uri_scheme_request_finish_error(request, error);
  g_error_free(error);
}

bool sameWindowsPath(std::u16string a, std::u16string b) {
  toUpperAscii(a);
  toUpperAscii(b);
  return a == b;
}

// Whether path lies inside folder (both Windows paths, compared without
// ASCII case).
bool isInsideFolder(const std::u16string& path, const std::u16string& folder) {
  if (folder.empty() || path.size() <= folder.size() + 1 || path[folder.size()] != u'\\')
    return false;
  if (path.find(u"\\..") != std::u16string::npos)
    return false;
  return sameWindowsPath(path.substr(0, folder.size()), folder);
}

GdkPixbuf* loadApplicationIcon() {
  std::span<const std::uint8_t> bytes = platform::findResource(kIconGroupType, kApplicationIconId);
  if (bytes.empty())
    return nullptr;
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
  GdkPixbuf* pixbuf = nullptr;
  if (gdk_pixbuf_loader_write(loader, bytes.data(), bytes.size(), nullptr) &&
      gdk_pixbuf_loader_close(loader, nullptr)) {
    pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
    if (pixbuf)
      g_object_ref(pixbuf);
  } else {
    gdk_pixbuf_loader_close(loader, nullptr);
  }
  g_object_unref(loader);
  return pixbuf;
}

bool startsWith(const char* text, const char* prefix) {
  return text && g_str_has_prefix(text, prefix);
}

// Addresses a link may hand to the user's browser.
bool isWebAddress(const char* uri) {
  return startsWith(uri, "http://") || startsWith(uri, "https://") || startsWith(uri, "mailto:");
}

} // namespace

COrviaKeltoDlg::COrviaKeltoDlg(DialogObserver* observer) : observer(observer) {
  icon = loadApplicationIcon();
  SessionController::Host host;
  host.scripts = this;
  host.confirm = [this](const std::u16string& text, const std::u16string& caption) {
    return confirm(text, caption);
  };
  host.endDialog = [this] { endDialog(); };
  host.closeEnabledChanged = [this](bool enabled) { closeEnabledChanged(enabled); };
  session = std::make_unique<SessionController>(std::move(host));
  if (observer)
    observer->dialogCreated(*this);
}

COrviaKeltoDlg::~COrviaKeltoDlg() {
  if (pendingQuit)
    g_source_remove(pendingQuit);
  // The session goes first: its scratch folder is removed before the window.
  session.reset();
  if (windowWidget)
    gtk_widget_destroy(windowWidget);
  if (webContext)
    g_object_unref(webContext);
  if (icon)
    g_object_unref(icon);
  if (modalLoop)
    g_main_loop_unref(modalLoop);
}

int COrviaKeltoDlg::doModal() {
  onInitDialog();
  if (!ended) {
    modalLoop = g_main_loop_new(nullptr, FALSE);
    // Interrupted or terminated from outside, the dialog still ends in
    // order, so that the session's scratch folder goes with it.
    auto stop = [](gpointer self) -> gboolean {
      static_cast<COrviaKeltoDlg*>(self)->endDialog();
      return G_SOURCE_CONTINUE;
    };
    guint interrupt = g_unix_signal_add(SIGINT, stop, this);
    guint terminate = g_unix_signal_add(SIGTERM, stop, this);
    g_main_loop_run(modalLoop);
    g_source_remove(interrupt);
    g_source_remove(terminate);
  }
  return result;
}

void COrviaKeltoDlg::onInitDialog() {
  createWindow();
  applyHostSettings();
  gtk_widget_show_all(windowWidget);
  gtk_widget_grab_focus(GTK_WIDGET(webView));
  webkit_web_view_load_uri(webView, kPageAddress);
  session->prepareSession();
}

void COrviaKeltoDlg::createWindow() {
  webContext = webkit_web_context_new();
  webkit_web_context_set_cache_model(webContext, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
  registerSchemes(webContext);

  WebKitUserContentManager* content = webkit_user_content_manager_new();
  installExternalObject(content);
  if (observer)
    observer->contentManagerCreated(content);
  webView = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", webContext,
                                         "user-content-manager", content, nullptr));
  g_object_unref(content); // the view holds it

  windowWidget = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(windowWidget), kCaption);
  gtk_window_set_type_hint(GTK_WINDOW(windowWidget), GDK_WINDOW_TYPE_HINT_DIALOG);
  if (icon)
    gtk_window_set_icon(GTK_WINDOW(windowWidget), icon);
  PixelSize size = dialogUnitsToPixels(kTemplateWidth, kTemplateHeight, kFontBaseX, kFontBaseY);
  gtk_widget_set_size_request(GTK_WIDGET(webView), size.width, size.height);
  gtk_container_add(GTK_CONTAINER(windowWidget), GTK_WIDGET(webView));
  // No sizing border and so no maximize box; the template sits at 0, 0.
  gtk_window_set_resizable(GTK_WINDOW(windowWidget), FALSE);
  gtk_window_move(GTK_WINDOW(windowWidget), 0, 0);
}

void COrviaKeltoDlg::applyHostSettings() {
  WebKitSettings* settings = webkit_web_view_get_settings(webView);
  webkit_settings_set_enable_developer_extras(settings, FALSE);
  webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);

  // Files dropped on the window never reach the page.
  gtk_drag_dest_unset(GTK_WIDGET(webView));

  g_signal_connect(webView, "context-menu", G_CALLBACK(onContextMenu), this);
  g_signal_connect(webView, "decide-policy", G_CALLBACK(onDecidePolicy), this);
  g_signal_connect(webView, "load-changed", G_CALLBACK(onLoadChanged), this);
  g_signal_connect(windowWidget, "key-press-event", G_CALLBACK(onKey), this);
  g_signal_connect(windowWidget, "key-release-event", G_CALLBACK(onKey), this);
  g_signal_connect(windowWidget, "delete-event", G_CALLBACK(onDelete), this);
}

void COrviaKeltoDlg::registerSchemes(WebKitWebContext* context) {
  webkit_web_context_register_uri_scheme(
      context, std::string(kResourceScheme).c_str(),
      [](WebKitURISchemeRequest* request, gpointer self) {
        static_cast<COrviaKeltoDlg*>(self)->serveResource(request);
      },
      this, nullptr);
  webkit_web_context_register_uri_scheme(
      context, std::string(kCommandScheme).c_str(),
      [](WebKitURISchemeRequest* request, gpointer self) {
        static_cast<COrviaKeltoDlg*>(self)->serveCommand(request);
      },
      this, nullptr);
  webkit_web_context_register_uri_scheme(
      context, std::string(kIconScheme).c_str(),
      [](WebKitURISchemeRequest* request, gpointer self) {
        static_cast<COrviaKeltoDlg*>(self)->serveIcon(request);
      },
      this, nullptr);
  WebKitSecurityManager* security = webkit_web_context_get_security_manager(context);
  webkit_security_manager_register_uri_scheme_as_local(security, std::string(kResourceScheme).c_str());
  webkit_security_manager_register_uri_scheme_as_cors_enabled(security,
                                                              std::string(kCommandScheme).c_str());
  webkit_security_manager_register_uri_scheme_as_cors_enabled(security,
                                                              std::string(kIconScheme).c_str());
}

void COrviaKeltoDlg::installExternalObject(WebKitUserContentManager* content) {
  WebKitUserScript* script = webkit_user_script_new(
      externalObjectScript().c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
      WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
  webkit_user_content_manager_add_script(content, script);
  webkit_user_script_unref(script);
  WebKitUserStyleSheet* style = webkit_user_style_sheet_new(
      hostStyleSheet().c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
      WEBKIT_USER_STYLE_LEVEL_USER, nullptr, nullptr);
  webkit_user_content_manager_add_style_sheet(content, style);
  webkit_user_style_sheet_unref(style);
}

void COrviaKeltoDlg::runScript(const std::u16string& statement) {
  if (!webView)
    return;
  std::string script = toUtf8(rewriteStatementAddresses(statement));
  webkit_web_view_evaluate_javascript(webView, script.c_str(), gssize(script.size()), nullptr,
                                      nullptr, nullptr, nullptr, nullptr);
}

void COrviaKeltoDlg::onCancel() { session->quitApplication(); }

bool COrviaKeltoDlg::confirm(const std::u16string& text, const std::u16string& caption) {
  if (observer) {
    std::optional<bool> answer = observer->answerQuestion(text, caption);
    if (answer)
      return *answer;
  }
  // One question at a time: a second request while the box is open is No.
  if (asking)
    return false;
  asking = true;
  GtkWidget* box = gtk_message_dialog_new(GTK_WINDOW(windowWidget), GTK_DIALOG_MODAL,
                                          GTK_MESSAGE_OTHER, GTK_BUTTONS_YES_NO, "%s",
                                          toUtf8(text).c_str());
  gtk_window_set_title(GTK_WINDOW(box), toUtf8(caption).c_str());
  gint answer = gtk_dialog_run(GTK_DIALOG(box));
  gtk_widget_destroy(box);
  asking = false;
  return answer == GTK_RESPONSE_YES;
}

void COrviaKeltoDlg::endDialog() {
  result = kResultCancel;
  ended = true;
  if (modalLoop)
    g_main_loop_quit(modalLoop);
}

void COrviaKeltoDlg::closeEnabledChanged(bool enabled) {
  if (windowWidget)
    gtk_window_set_deletable(GTK_WINDOW(windowWidget), enabled);
}

void COrviaKeltoDlg::serveResource(WebKitURISchemeRequest* request) {
  const char* uri = webkit_uri_scheme_request_get_uri(request);
  std::optional<ResourceAddress> address = parseResourceAddress(uri ? uri : "");
  std::span<const std::uint8_t> bytes;
  if (address) {
    std::u16string executable;
    bool ownModule = address->module.empty() ||
                     (platform::getModuleFileName(executable) &&
                      sameWindowsPath(address->module, executable));
    if (ownModule)
      bytes = platform::findResource(address->type, address->id);
  }
  if (observer)
    observer->served(uri ? uri : "", !bytes.empty());
  if (bytes.empty()) {
    finishNotFound(request);
    return;
  }
  // The table's bytes live as long as the program.
  finishWithBytes(request, bytes.data(), bytes.size(), resourceContentType(address->type), false);
}

void COrviaKeltoDlg::serveCommand(WebKitURISchemeRequest* request) {
  const char* uri = webkit_uri_scheme_request_get_uri(request);
  std::optional<std::string> name = commandOfAddress(uri ? uri : "");
  std::optional<PageCommand> command =
      name ? pageCommandByName(std::u16string(name->begin(), name->end())) : std::nullopt;
  if (!command) {
    finishNotFound(request);
    return;
  }
  if (*command == PageCommand::quitApplication) {
    // The question may wait long for the user: the page gets its (empty)
    // answer first, so it is not held in a request meanwhile.
    finishWithBytes(request, "", 0, "text/plain", false);
    if (!pendingQuit)
      pendingQuit = g_idle_add(
          [](gpointer self) -> gboolean {
            auto* dialog = static_cast<COrviaKeltoDlg*>(self);
            dialog->pendingQuit = 0;
            dialog->session->quitApplication();
            return G_SOURCE_REMOVE;
          },
          this);
    return;
  }
  std::int32_t value = runPageCommand(*session, *command);
  std::string answer = pageCommandHasResult(*command) ? std::to_string(value) : std::string();
  finishWithBytes(request, answer.data(), answer.size(), "text/plain", true);
}

void COrviaKeltoDlg::serveIcon(WebKitURISchemeRequest* request) {
  const char* uri = webkit_uri_scheme_request_get_uri(request);
  std::optional<std::u16string> path = iconPathOfAddress(uri ? uri : "");
  std::vector<char> bytes;
  // Only the current session's icons are served: they are written into its
  // scratch folder, and nothing else on the machine is the page's business.
  ScanContext* context = session->context();
  if (path && context && isInsideFolder(*path, context->scratchFolder)) {
    std::optional<std::string> host = platform::toHostPath(*path);
    if (host) {
      std::ifstream file(*host, std::ios::binary);
      if (file)
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
  }
  if (observer)
    observer->served(uri ? uri : "", !bytes.empty());
  if (bytes.empty()) {
    finishNotFound(request);
    return;
  }
  finishWithBytes(request, bytes.data(), bytes.size(), "image/png", true);
}

gboolean COrviaKeltoDlg::onKey(GtkWidget*, GdkEventKey* event, gpointer self) {
  auto* dialog = static_cast<COrviaKeltoDlg*>(self);
  bool press = event->type == GDK_KEY_PRESS;
  guint key = gdk_keyval_to_lower(event->keyval);
  if (press && key == GDK_KEY_Escape) {
    dialog->onCancel();
    return TRUE;
  }
  // Refresh, and the Ctrl key on its own.
  if (press && (key == GDK_KEY_F5 || key == GDK_KEY_Control_L || key == GDK_KEY_Control_R))
    return TRUE;
  // Select all, find, open location, new window, open and print.
  if (event->state & GDK_CONTROL_MASK) {
    switch (key) {
    case GDK_KEY_a:
    case GDK_KEY_f:
    case GDK_KEY_l:
    case GDK_KEY_n:
    case GDK_KEY_o:
    case GDK_KEY_p:
      return TRUE;
    default:
      break;
    }
  }
  return FALSE;
}

gboolean COrviaKeltoDlg::onDelete(GtkWidget*, GdkEvent*, gpointer self) {
  auto* dialog = static_cast<COrviaKeltoDlg*>(self);
  if (dialog->observer)
    dialog->observer->closeRequested(dialog->session->closeAllowed());
  // A disabled close box does nothing; an enabled one is the cancel action.
  if (dialog->session->closeAllowed())
    dialog->onCancel();
  return TRUE; // the window goes only when the dialog ends
}

gboolean COrviaKeltoDlg::onContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*,
                                       WebKitHitTestResult*, gpointer self) {
  auto* dialog = static_cast<COrviaKeltoDlg*>(self);
  if (dialog->observer)
    dialog->observer->contextMenuRefused();
  return TRUE; // shown nowhere
}

gboolean COrviaKeltoDlg::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                        WebKitPolicyDecisionType type, gpointer) {
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE)
    return FALSE;
  WebKitNavigationAction* action =
      webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
    // Links that open a new window go to the user's browser.
    if (isWebAddress(uri) && webkit_navigation_action_is_user_gesture(action))
      g_app_info_launch_default_for_uri(uri, nullptr, nullptr);
    webkit_policy_decision_ignore(decision);
    return TRUE;
  }
  // The page and its agreement frame show only the executable's resources.
  bool ownContent = startsWith(uri, "res:") || g_strcmp0(uri, "about:blank") == 0;
  if (ownContent)
    return FALSE;
  if (isWebAddress(uri) &&
      webkit_navigation_action_get_navigation_type(action) == WEBKIT_NAVIGATION_TYPE_LINK_CLICKED)
    g_app_info_launch_default_for_uri(uri, nullptr, nullptr);
  webkit_policy_decision_ignore(decision);
  return TRUE;
}

void COrviaKeltoDlg::onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self) {
  auto* dialog = static_cast<COrviaKeltoDlg*>(self);
  if (event == WEBKIT_LOAD_FINISHED && dialog->observer)
    dialog->observer->pageLoaded();
}
