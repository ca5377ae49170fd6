// The end-to-end test driver of the window; see PageTestDriver.h.
#include "tests/window/PageTestDriver.h"

#include "app/OrviaKeltoDlg.h"
#include "util/Json.h"
#include "util/Text.h"

#include <cairo.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

constexpr const char* kChannel = "fennickTest";

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string jsonList(const std::vector<std::string>& items) {
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i)
    out += (i ? "," : "") + jsonString(items[i]);
  return out + "]";
}

std::string property(JSCValue* object, const char* name) {
  JSCValue* value = jsc_value_object_get_property(object, name);
  std::string text;
  if (value && !jsc_value_is_undefined(value) && !jsc_value_is_null(value)) {
    gchar* raw = jsc_value_to_string(value);
    text = raw ? raw : "";
    g_free(raw);
  }
  if (value)
    g_object_unref(value);
  return text;
}

void replyString(WebKitScriptMessageReply* reply, JSCContext* context, const std::string& text) {
  JSCValue* value = jsc_value_new_string(context, text.c_str());
  webkit_script_message_reply_return_value(reply, value);
  g_object_unref(value);
}

// Output names are plain file names inside the output folder.
bool isPlainName(const std::string& name) {
  return !name.empty() && name.find('/') == std::string::npos && name != "." && name != "..";
}

struct PendingSnapshot {
  WebKitScriptMessageReply* reply;
  JSCContext* context;
  std::string path;
};

void sendEvent(GdkEvent* event) {
  gtk_main_do_event(event);
  gdk_event_free(event);
}

} // namespace

std::unique_ptr<PageTestDriver> PageTestDriver::fromEnvironment() {
  std::string scriptPath = environment("FENNICK_TEST_SCRIPT");
  std::string output = environment("FENNICK_TEST_OUT");
  if (scriptPath.empty() || output.empty())
    return nullptr;
  std::ifstream file(scriptPath, std::ios::binary);
  if (!file) {
    g_printerr("orvia-fennick-test: cannot read the test script %s\n", scriptPath.c_str());
    return nullptr;
  }
  std::string script((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::string answer = environment("FENNICK_TEST_CONFIRM");
  if (answer != "yes" && answer != "no")
    answer.clear();
  return std::make_unique<PageTestDriver>(std::move(script), std::move(output), std::move(answer));
}

PageTestDriver::PageTestDriver(std::string script, std::string outputFolder,
                               std::string confirmAnswer)
    : script(std::move(script)), outputFolder(std::move(outputFolder)),
      confirmAnswer(std::move(confirmAnswer)) {
  g_mkdir_with_parents(this->outputFolder.c_str(), 0755);
}

void PageTestDriver::dialogCreated(COrviaKeltoDlg& created) { dialog = &created; }

void PageTestDriver::contentManagerCreated(WebKitUserContentManager* content) {
  std::string signal = std::string("script-message-with-reply-received::") + kChannel;
  g_signal_connect(content, signal.c_str(), G_CALLBACK(onMessage), this);
  webkit_user_content_manager_register_script_message_handler_with_reply(content, kChannel,
                                                                         nullptr);
}

void PageTestDriver::pageLoaded() {
  if (started)
    return;
  started = true;
  webkit_web_view_evaluate_javascript(dialog->view(), script.c_str(), gssize(script.size()),
                                      nullptr, "fennick-test-driver.js", nullptr, nullptr,
                                      nullptr);
}

std::optional<bool> PageTestDriver::answerQuestion(const std::u16string& text,
                                                   const std::u16string& caption) {
  if (confirmAnswer.empty())
    return std::nullopt;
  std::string utf8Text, utf8Caption;
  wideToUtf8(text, utf8Text);
  wideToUtf8(caption, utf8Caption);
  confirmations.push_back(utf8Caption + "|" + utf8Text);
  return confirmAnswer == "yes";
}

void PageTestDriver::served(const std::string& uri, bool found) {
  requests.push_back((found ? "found " : "missing ") + uri);
}

void PageTestDriver::closeRequested(bool allowed) {
  ++closeRequests;
  if (!allowed)
    ++refusedCloseRequests;
}

gboolean PageTestDriver::onMessage(WebKitUserContentManager*, JSCValue* message,
                                   WebKitScriptMessageReply* reply, gpointer self) {
  static_cast<PageTestDriver*>(self)->handle(message, reply);
  return TRUE;
}

void PageTestDriver::handle(JSCValue* message, WebKitScriptMessageReply* reply) {
  JSCContext* context = jsc_value_get_context(message);
  std::string op = property(message, "op");
  if (op == "snapshot") {
    snapshot(property(message, "name"), reply, context);
    return;
  }
  if (op == "write") {
    std::string name = property(message, "name");
    bool written = false;
    if (isPlainName(name)) {
      std::ofstream file(outputFolder + "/" + name, std::ios::binary);
      file << property(message, "text");
      written = bool(file);
    }
    replyString(reply, context, written ? "ok" : "failed");
    return;
  }
  if (op == "key") {
    sendKey(property(message, "key"), property(message, "ctrl") == "true");
    replyString(reply, context, "ok");
    return;
  }
  if (op == "close") {
    gtk_window_close(GTK_WINDOW(dialog->window()));
    replyString(reply, context, "ok");
    return;
  }
  if (op == "rightClick") {
    rightClick(std::atoi(property(message, "x").c_str()), std::atoi(property(message, "y").c_str()));
    replyString(reply, context, "ok");
    return;
  }
  if (op == "state") {
    replyString(reply, context, stateJson());
    return;
  }
  webkit_script_message_reply_return_error_message(reply, ("unknown op " + op).c_str());
}

void PageTestDriver::snapshot(const std::string& name, WebKitScriptMessageReply* reply,
                              JSCContext* context) {
  if (!isPlainName(name)) {
    webkit_script_message_reply_return_error_message(reply, "bad snapshot name");
    return;
  }
  auto* pending = new PendingSnapshot{webkit_script_message_reply_ref(reply),
                                      JSC_CONTEXT(g_object_ref(context)),
                                      outputFolder + "/" + name + ".png"};
  webkit_web_view_get_snapshot(
      dialog->view(), WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
      [](GObject* view, GAsyncResult* result, gpointer data) {
        auto* pending = static_cast<PendingSnapshot*>(data);
        GError* error = nullptr;
        cairo_surface_t* surface =
            webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(view), result, &error);
        bool written = surface && cairo_surface_write_to_png(surface, pending->path.c_str()) ==
                                      CAIRO_STATUS_SUCCESS;
        if (surface)
          cairo_surface_destroy(surface);
        if (error)
          g_error_free(error);
        if (written)
          replyString(pending->reply, pending->context, "ok");
        else
          webkit_script_message_reply_return_error_message(pending->reply, "snapshot failed");
        webkit_script_message_reply_unref(pending->reply);
        g_object_unref(pending->context);
        delete pending;
      },
      pending);
}

void PageTestDriver::sendKey(const std::string& name, bool ctrl) {
  guint keyval = gdk_keyval_from_name(name.c_str());
  GdkWindow* target = gtk_widget_get_window(dialog->window());
  if (keyval == GDK_KEY_VoidSymbol || !target)
    return;
  GdkDisplay* display = gdk_window_get_display(target);
  GdkDevice* keyboard = gdk_seat_get_keyboard(gdk_display_get_default_seat(display));
  guint16 hardwareCode = 0;
  GdkKeymapKey* keys = nullptr;
  gint count = 0;
  if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys,
                                        &count) &&
      count > 0)
    hardwareCode = guint16(keys[0].keycode);
  g_free(keys);
  for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
    GdkEvent* event = gdk_event_new(type);
    event->key.window = GDK_WINDOW(g_object_ref(target));
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.state = ctrl ? GDK_CONTROL_MASK : 0;
    event->key.keyval = keyval;
    event->key.hardware_keycode = hardwareCode;
    event->key.length = 0;
    event->key.string = g_strdup("");
    gdk_event_set_device(event, keyboard);
    sendEvent(event);
  }
}

void PageTestDriver::rightClick(int x, int y) {
  GdkWindow* target = gtk_widget_get_window(GTK_WIDGET(dialog->view()));
  if (!target)
    return;
  GdkDevice* pointer =
      gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_window_get_display(target)));
  for (GdkEventType type : {GDK_BUTTON_PRESS, GDK_BUTTON_RELEASE}) {
    GdkEvent* event = gdk_event_new(type);
    event->button.window = GDK_WINDOW(g_object_ref(target));
    event->button.send_event = TRUE;
    event->button.time = GDK_CURRENT_TIME;
    event->button.x = x;
    event->button.y = y;
    event->button.button = GDK_BUTTON_SECONDARY;
    gdk_event_set_device(event, pointer);
    sendEvent(event);
  }
}

std::string PageTestDriver::stateJson() const {
  SessionController& controller = dialog->controller();
  std::string json = "{";
  json += "\"closeAllowed\":" + std::string(controller.closeAllowed() ? "true" : "false");
  json += ",\"scanning\":" + std::string(controller.scanning() ? "true" : "false");
  json += ",\"deletable\":" +
          std::string(gtk_window_get_deletable(GTK_WINDOW(dialog->window())) ? "true" : "false");
  json += ",\"confirmations\":" + jsonList(confirmations);
  json += ",\"closeRequests\":" + std::to_string(closeRequests);
  json += ",\"refusedCloseRequests\":" + std::to_string(refusedCloseRequests);
  json += ",\"contextMenus\":" + std::to_string(contextMenus);
  json += ",\"served\":" + jsonList(requests);
  return json + "}";
}
