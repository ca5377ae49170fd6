// The HTML control's events as the dialog hears them: a link that asks for
// a window of its own opens none of the control's, and only a web address
// goes on to the user's browser.
#include "app/windows/BrowserEvents.h"

#include <exdispid.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class BrowserEventsTest : public testing::Test {
protected:
  void TearDown() override {
    events.reset();
    EXPECT_EQ(liveComObjectCount.load(), 0);
  }

  // Fires NewWindow3(ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl) for
  // address and returns whether the control's window was cancelled.
  bool newWindow(const wchar_t* address) {
    IDispatch* window = nullptr;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    BSTR url = SysAllocString(address);
    BSTR context = SysAllocString(L"res://fennick/151");
    VARIANT arguments[5];
    for (VARIANT& argument : arguments)
      VariantInit(&argument);
    arguments[4].vt = VT_BYREF | VT_DISPATCH;
    arguments[4].ppdispVal = &window;
    arguments[3].vt = VT_BYREF | VT_BOOL;
    arguments[3].pboolVal = &cancel;
    arguments[2].vt = VT_I4;
    arguments[2].lVal = 0x6; // NWMF_USERINITED | NWMF_FIRST
    arguments[1].vt = VT_BSTR;
    arguments[1].bstrVal = context;
    arguments[0].vt = VT_BSTR;
    arguments[0].bstrVal = url;
    DISPPARAMS parameters{arguments, nullptr, 5, 0};
    EXPECT_EQ(events->Invoke(DISPID_NEWWINDOW3, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                             &parameters, nullptr, nullptr, nullptr),
              S_OK);
    SysFreeString(url);
    SysFreeString(context);
    return cancel == VARIANT_TRUE;
  }

  std::vector<std::u16string> opened;
  int loads = 0;
  ComRef<BrowserEvents> events = BrowserEvents::create(
      nullptr, [this] { ++loads; },
      [this](const std::u16string& address) { opened.push_back(address); });
};

TEST_F(BrowserEventsTest, ALinkWithATargetOpensInTheUsersBrowser) {
  EXPECT_TRUE(newWindow(L"https://www.example.com/update?id=1"));
  EXPECT_TRUE(newWindow(L"HTTP://example.com/"));
  EXPECT_TRUE(newWindow(L"mailto:support@example.com"));
  EXPECT_EQ(opened, (std::vector<std::u16string>{u"https://www.example.com/update?id=1",
                                                  u"HTTP://example.com/",
                                                  u"mailto:support@example.com"}));
  EXPECT_EQ(loads, 0);
}

TEST_F(BrowserEventsTest, NoOtherAddressLeavesThePageOrOpensAnything) {
  // Cancelled all the same: the control opens no window of its own.
  EXPECT_TRUE(newWindow(L"file:///C:/Windows/System32/calc.exe"));
  EXPECT_TRUE(newWindow(L"javascript:alert(1)"));
  EXPECT_TRUE(newWindow(L"res://fennick/201"));
  EXPECT_TRUE(newWindow(L"httpx://example.com/"));
  EXPECT_TRUE(opened.empty());
  // Once disconnected, nothing reaches the dialog any more.
  events->disconnect();
  EXPECT_TRUE(newWindow(L"https://example.com/"));
  EXPECT_TRUE(opened.empty());
}

} // namespace
