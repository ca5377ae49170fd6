// The dialog that hosts the HTML control, driven by real window messages:
// the close box, Alt+F4's system command and Escape against the close rules,
// the end of the modal loop, and every reference given back at the end.
#include "app/windows/ExternalDispatch.h"
#include "app/windows/HtmlDialog.h"
#include "app/windows/WindowResources.h"
#include "Stepper.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

class HtmlDialogTest : public testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
  void TearDown() override {
    dialog.reset();
    // The control, its site, its events sink: all gone; only our own
    // reference to window.external is left.
    EXPECT_EQ(external->AddRef(), 2u);
    external->Release();
    external.reset();
    EXPECT_EQ(liveComObjectCount.load(), 0);
    OleUninitialize();
  }

  // Makes the dialog from the window's template; onStart runs as the last
  // step of its initialisation.
  void make(std::function<void()> onStart) {
    HtmlDialog::Handlers handlers;
    handlers.cancel = [this] {
      ++cancels;
      cancelledWhileAllowed.push_back(closeAllowed);
      dialog->endDialog();
    };
    handlers.closeAllowed = [this] { return closeAllowed; };
    handlers.initialized = std::move(onStart);
    dialog = std::make_unique<HtmlDialog>(GetModuleHandleW(nullptr), kDialogTemplateId,
                                          kApplicationIconId, external.get(), std::move(handlers));
  }
  int run() { return dialog->doModal(u"about:blank"); }

  ComRef<ExternalDispatch> external = ExternalDispatch::create([](PageCommand) { return 0; });
  std::unique_ptr<HtmlDialog> dialog;
  Stepper stepper;
  int cancels = 0;
  std::vector<bool> cancelledWhileAllowed; // closeAllowed at each cancel
  bool closeAllowed = true;
};

TEST_F(HtmlDialogTest, EscapeIsTheCancelActionAndEndsWithCancel) {
  make([this] {
    HWND window = dialog->window();
    // Enter is no way out: the dialog has no OK action.
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    PostMessageW(window, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 1);
  });
  EXPECT_EQ(run(), IDCANCEL);
  EXPECT_EQ(cancels, 1);
}

TEST_F(HtmlDialogTest, ADisabledCloseBoxIsGreyedAndRefusesEveryClose) {
  make([this] {
    HWND window = dialog->window();
    EXPECT_FALSE(closeEntryGreyed(window));
    closeAllowed = false;
    dialog->setCloseEnabled(false);
    EXPECT_TRUE(closeEntryGreyed(window));
    // The close box, Alt+F4's system command and a plain WM_CLOSE.
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageW(window, WM_CLOSE, 0, 0);
    stepper.post([this, window] {
      EXPECT_EQ(cancels, 0) << "a disabled close box cancelled the dialog";
      EXPECT_TRUE(IsWindow(window));
      closeAllowed = true;
      dialog->setCloseEnabled(true);
      EXPECT_FALSE(closeEntryGreyed(window));
      PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
  });
  EXPECT_EQ(run(), IDCANCEL);
  EXPECT_EQ(cancelledWhileAllowed, std::vector<bool>{true});
}

TEST_F(HtmlDialogTest, AQuitRequestFromOutsideEndsTheDialogAndStaysPosted) {
  make([] { PostQuitMessage(5); });
  EXPECT_EQ(run(), IDCANCEL);
  EXPECT_EQ(cancels, 0);
  MSG message{};
  ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 5u);
}

TEST_F(HtmlDialogTest, TheControlShowsNoBoxesOfItsOwn) {
  VARIANT_BOOL silent = VARIANT_FALSE;
  make([this, &silent] {
    ASSERT_NE(dialog->webBrowser(), nullptr);
    EXPECT_EQ(dialog->webBrowser()->get_Silent(&silent), S_OK);
    dialog->endDialog();
  });
  EXPECT_EQ(run(), IDCANCEL);
  EXPECT_EQ(silent, VARIANT_TRUE);
}

TEST_F(HtmlDialogTest, TheWindowCarriesTheCaptionAndTheIcon) {
  make([this] {
    HWND window = dialog->window();
    wchar_t caption[64] = {};
    GetWindowTextW(window, caption, 64);
    EXPECT_STREQ(caption, L"Orvia Fennick");
    EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_SMALL, 0), 0);
    // A statement without a page goes nowhere and does no harm.
    dialog->runScript(u"setHTMLString('results', 'x')");
    PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 1);
  });
  EXPECT_EQ(run(), IDCANCEL);
  EXPECT_EQ(dialog->window(), nullptr); // destroyed at the end
}

} // namespace
