// window.external as the HTML control's script engine sees it: names to
// dispatch ids, calls with their argument and result VARIANTs, and the
// answers to what the page may get wrong.
#include "app/windows/ExternalDispatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records the commands that reach the runner and answers a set progress.
struct Recorder {
  std::vector<PageCommand> calls;
  std::int32_t progress = 0;
  ExternalDispatch::CommandRunner runner() {
    return [this](PageCommand command) {
      calls.push_back(command);
      return command == PageCommand::getScanProgress ? progress : 0;
    };
  }
};

HRESULT idOf(IDispatch* object, const wchar_t* name, DISPID& id) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  return object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
}

HRESULT call(IDispatch* object, DISPID id, VARIANT* result, std::vector<VARIANT> arguments = {},
             WORD flags = DISPATCH_METHOD) {
  DISPPARAMS parameters{arguments.empty() ? nullptr : arguments.data(), nullptr,
                        UINT(arguments.size()), 0};
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, result, nullptr,
                        nullptr);
}

class ExternalDispatchTest : public testing::Test {
protected:
  void TearDown() override {
    external.reset();
    EXPECT_EQ(liveComObjectCount.load(), 0) << "a reference to window.external was leaked";
  }
  Recorder recorder;
  ComRef<ExternalDispatch> external = ExternalDispatch::create(recorder.runner());
};

TEST_F(ExternalDispatchTest, TheSevenNamesHaveTheirDispatchIdsInOrder) {
  const wchar_t* names[] = {L"getApplicationPath", L"getUIStrings", L"quitApplication",
                            L"quitApplicationWithoutConfirmation", L"getScanProgress",
                            L"scanSystem", L"getSystemScanResult"};
  for (int i = 0; i < 7; ++i) {
    DISPID id = 0;
    EXPECT_EQ(idOf(external.get(), names[i], id), S_OK) << i;
    EXPECT_EQ(id, i + 1) << i;
  }
}

TEST_F(ExternalDispatchTest, UnknownNamesAreRefused) {
  for (const wchar_t* name : {L"scansystem", L"GetScanProgress", L"", L"scanSystem ", L"toString"}) {
    DISPID id = 0;
    EXPECT_EQ(idOf(external.get(), name, id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
  }
  // A parameter name: the member is known, the commands take no parameters.
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"scanSystem"), const_cast<LPOLESTR>(L"deep")};
  DISPID ids[2] = {0, 0};
  EXPECT_EQ(external->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids),
            DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], 6);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
}

TEST_F(ExternalDispatchTest, EachIdCallsItsCommandOnce) {
  for (DISPID id = 1; id <= 7; ++id) {
    VARIANT result;
    result.vt = VT_BSTR; // garbage the call must overwrite
    EXPECT_EQ(call(external.get(), id, &result), S_OK) << id;
    if (id != 5) {
      EXPECT_EQ(result.vt, VT_EMPTY) << id;
    }
  }
  std::vector<PageCommand> expected = {
      PageCommand::getApplicationPath, PageCommand::getUIStrings, PageCommand::quitApplication,
      PageCommand::quitApplicationWithoutConfirmation, PageCommand::getScanProgress,
      PageCommand::scanSystem, PageCommand::getSystemScanResult};
  EXPECT_EQ(recorder.calls, expected);
}

TEST_F(ExternalDispatchTest, ScanProgressComesBackAsA32BitInteger) {
  for (std::int32_t progress : {0, 37, 100, -1}) {
    recorder.progress = progress;
    VARIANT result;
    VariantInit(&result);
    // Script engines call methods with the property-get flag as well.
    ASSERT_EQ(call(external.get(), 5, &result, {}, DISPATCH_METHOD | DISPATCH_PROPERTYGET), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, progress);
  }
  // A caller that wants no result gets none and the command still runs.
  EXPECT_EQ(call(external.get(), 5, nullptr), S_OK);
  EXPECT_EQ(recorder.calls.size(), 5u);
}

TEST_F(ExternalDispatchTest, WrongCallsRunNothing) {
  VARIANT argument;
  VariantInit(&argument);
  argument.vt = VT_I4;
  argument.lVal = 1;
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(call(external.get(), 6, &result, {argument}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(call(external.get(), 5, &result, {argument, argument}), DISP_E_BADPARAMCOUNT);

  DISPID named = 0;
  DISPPARAMS withName{&argument, &named, 1, 1};
  EXPECT_EQ(external->Invoke(6, IID_NULL, 0, DISPATCH_METHOD, &withName, &result, nullptr, nullptr),
            DISP_E_NONAMEDARGS);
  EXPECT_EQ(external->Invoke(6, IID_NULL, 0, DISPATCH_METHOD, nullptr, &result, nullptr, nullptr),
            E_INVALIDARG);

  for (DISPID id : {DISPID(0), DISPID(8), DISPID(-1), DISPID(DISPID_VALUE)})
    EXPECT_EQ(call(external.get(), id, &result), DISP_E_MEMBERNOTFOUND) << id;
  // The commands are methods, not properties to set or read.
  EXPECT_EQ(call(external.get(), 6, &result, {}, DISPATCH_PROPERTYPUT), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(call(external.get(), 6, &result, {}, DISPATCH_PROPERTYGET), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(external->Invoke(6, IID_IUnknown, 0, DISPATCH_METHOD, nullptr, &result, nullptr,
                             nullptr),
            DISP_E_UNKNOWNINTERFACE);
  EXPECT_TRUE(recorder.calls.empty());
}

TEST_F(ExternalDispatchTest, AfterDisconnectNothingReachesTheController) {
  external->disconnect();
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(call(external.get(), 6, &result), E_UNEXPECTED);
  EXPECT_TRUE(recorder.calls.empty());
}

} // namespace
