// The logic behind the seven commands the page sends to the application. It
// owns the current session (job and context) and the Localizer, and talks to
// the page only through script statements. The window, or a headless front
// end, supplies the script sink, the Yes/No question and the end of the
// dialog; it reads closeAllowed() for its close box.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class Localizer;
class ScanContext;
class ScanJob;
class ScriptSink;

// The page is the HTML resource 151 of the executable.
inline constexpr std::uint32_t kPageResourceId = 151;

// The executable's resource base as the page's host addresses it,
// "res://<path>/"; an HTML resource of the executable is this base followed
// by its id.
std::u16string resourceBase(const std::u16string& executablePath);

// The statement that hands the page the executable's resource base,
// "setApplicationPath('res://<path>/');" with backslashes doubled and
// apostrophes escaped.
std::u16string applicationPathStatement(const std::u16string& executablePath);

class SessionController {
public:
  struct Host {
    ScriptSink* scripts = nullptr; // not owned; statements go nowhere when null
    // Shows the modal Yes/No box; true for Yes.
    std::function<bool(const std::u16string& text, const std::u16string& caption)> confirm;
    // Ends the dialog (IDCANCEL); the application then ends.
    std::function<void()> endDialog;
    // Told whenever the Close entry of the window is enabled or disabled.
    std::function<void(bool enabled)> closeEnabledChanged;
  };

  explicit SessionController(Host host);
  ~SessionController();
  SessionController(const SessionController&) = delete;
  SessionController& operator=(const SessionController&) = delete;

  // Discards the current session and builds a new one: context with a fresh
  // scratch folder, the folder-token helper, the folder tokens, ScanConfig.
  void prepareSession();

  // The seven commands.
  void scanSystem();
  std::int32_t getScanProgress() const;
  void getSystemScanResult();
  void quitApplication();
  void quitApplicationWithoutConfirmation();
  void getApplicationPath();
  void getUIStrings();

  // Whether the window's Close entry is enabled.
  bool closeAllowed() const { return closeEnabled; }
  bool scanning() const;

  // The current session, for front ends that read results themselves.
  ScanJob* job() const { return currentJob.get(); }
  ScanContext* context() const { return currentContext.get(); }
  Localizer& localizer() const { return *locale; }

  // The ScanConfig text used by prepareSession: the embedded one unless set.
  void setScanConfigText(std::u16string text) { configOverride = std::move(text); }

  // The threads that check files in the scans to come (ScanJob::checkWorkers):
  // 0, the default, for one per processor.
  void setCheckWorkers(unsigned workers) { checkWorkers = workers; }

private:
  void runScript(const std::u16string& statement);
  void setCloseEnabled(bool enabled);
  void ensureTexts();

  Host host;
  std::unique_ptr<ScanJob> currentJob;
  std::unique_ptr<ScanContext> currentContext;
  std::unique_ptr<Localizer> locale;
  bool closeEnabled = true;
  std::u16string configOverride;
  unsigned checkWorkers = 0;
};
