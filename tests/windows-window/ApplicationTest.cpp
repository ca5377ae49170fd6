// The application and its dialog with the session controller behind the
// page, under Wine: without an HTML engine the program says so and fails;
// the quit question, the close box during and after a scan, and
// window.external reaching the controller, all through the real window;
// every COM object of ours gone when the dialog has ended.
#include "app/windows/ExternalDispatch.h"
#include "app/windows/HtmlDialog.h"
#include "app/windows/OrviaKeltoApp.h"
#include "app/windows/OrviaKeltoDlg.h"
#include "session/SessionController.h"
#include "Stepper.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Question {
  std::u16string text;
  std::u16string caption;
};

VARIANT invoke(IDispatch* external, const wchar_t* name) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  DISPID id = DISPID_UNKNOWN;
  EXPECT_EQ(external->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << name;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(external->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result,
                             nullptr, nullptr),
            S_OK)
      << name;
  return result;
}

TEST(Application, WithoutAnHtmlEngineItSaysSoInAMessageBoxAndFails) {
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  bool engine = HtmlDialog::htmlEngineAvailable();
  OleUninitialize();
  if (engine)
    GTEST_SKIP() << "this system has an HTML engine: the window would be shown";

  std::vector<Question> told;
  int asked = 0;
  COrviaKeltoApp application(GetModuleHandleW(nullptr));
  application.notify = [&](const std::u16string& text, const std::u16string& caption) {
    told.push_back({text, caption});
    return true;
  };
  application.confirm = [&](const std::u16string&, const std::u16string&) {
    ++asked;
    return true;
  };
  const UINT errorMode = SetErrorMode(0);
  EXPECT_EQ(application.run(), COrviaKeltoApp::kExitNoHtmlControl);
  // No system box may wait on an unattended run: critical errors come back
  // to the program.
  EXPECT_TRUE(GetErrorMode() & SEM_FAILCRITICALERRORS);
  SetErrorMode(errorMode);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].text.find(u"HTML control is not available"), std::u16string::npos);
  EXPECT_EQ(told[0].caption, u"Orvia Fennick");
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(liveComObjectCount.load(), 0);
}

class MainDialogTest : public testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
  void TearDown() override {
    dialog.reset();
    EXPECT_EQ(liveComObjectCount.load(), 0) << "a COM object of ours outlived the dialog";
    OleUninitialize();
  }
  void make() {
    dialog = std::make_unique<COrviaKeltoDlg>(
        GetModuleHandleW(nullptr), [this](const std::u16string& text, const std::u16string& caption) {
          questions.push_back({text, caption});
          return answers.size() >= questions.size() && answers[questions.size() - 1];
        });
  }
  HWND window() { return dialog->dialog().window(); }

  std::unique_ptr<COrviaKeltoDlg> dialog;
  std::vector<Question> questions;
  std::vector<bool> answers; // the answer to each question in turn
  Stepper stepper;
};

TEST_F(MainDialogTest, EscapeAndTheCloseBoxAskTheQuitQuestionAndYesEndsTheDialog) {
  answers = {false, true};
  make();
  stepper.post([this] {
    EXPECT_FALSE(closeEntryGreyed(window()));
    PostMessageW(window(), WM_KEYDOWN, VK_ESCAPE, 1);
    stepper.post([this] {
      EXPECT_EQ(questions.size(), 1u);
      EXPECT_TRUE(IsWindow(window())) << "No ended the dialog";
      PostMessageW(window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    });
  });
  EXPECT_EQ(dialog->doModal(), IDCANCEL);
  ASSERT_EQ(questions.size(), 2u);
  for (const Question& question : questions) {
    EXPECT_FALSE(question.text.empty());
    EXPECT_EQ(question.caption, u"Orvia Fennick");
  }
}

TEST_F(MainDialogTest, TheCloseBoxIsGreyedFromTheScanUntilItsResultsAreShown) {
  answers = {true};
  make();
  stepper.post([this] {
    IDispatch* external = &dialog->external();
    invoke(external, L"scanSystem");
    EXPECT_TRUE(closeEntryGreyed(window()));
    // Neither the close box nor Alt+F4's system command asks anything now.
    SendMessageW(window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    SendMessageW(window(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(questions.empty());
    for (int waited = 0; waited < 6000; ++waited) {
      VARIANT progress = invoke(external, L"getScanProgress");
      EXPECT_EQ(progress.vt, VT_I4);
      if (progress.lVal >= 100)
        break;
      Sleep(10);
    }
    while (dialog->controller().scanning())
      Sleep(1);
    EXPECT_TRUE(closeEntryGreyed(window())); // until the results are shown
    invoke(external, L"getSystemScanResult");
    EXPECT_FALSE(closeEntryGreyed(window()));
    invoke(external, L"quitApplicationWithoutConfirmation");
  });
  EXPECT_EQ(dialog->doModal(), IDCANCEL);
  EXPECT_TRUE(questions.empty());
}

} // namespace
