// The HTML control's container as the control sees it: one identity behind
// all its interfaces, the host settings, window.external, no context menu,
// and every reference it hands out or holds given back.
#include "app/windows/BrowserSite.h"
#include "app/windows/ExternalDispatch.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

// An in-place active object that only counts its references, standing in for
// the control's own.
class CountedActiveObject final : public IOleInPlaceActiveObject {
public:
  ULONG references = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  HRESULT STDMETHODCALLTYPE GetWindow(HWND*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG) override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
};

// The group of the questions the HTML control asks its host
// (CGID_DocHostCommandHandler, which the import libraries do not carry).
constexpr GUID kDocHostCommandHandler = {
    0xf38bc242, 0xb950, 0x11d1, {0x89, 0x18, 0x00, 0xc0, 0x4f, 0xc2, 0xc8, 0x36}};

class BrowserSiteTest : public testing::Test {
protected:
  void TearDown() override {
    site.reset();
    external.reset();
    EXPECT_EQ(liveComObjectCount.load(), 0) << "a reference was leaked";
  }
  ComRef<ExternalDispatch> external = ExternalDispatch::create([](PageCommand) { return 0; });
  HWND window = GetDesktopWindow();
  ComRef<BrowserSite> site = BrowserSite::create(window, external.get());
};

TEST_F(BrowserSiteTest, EveryInterfaceLeadsToTheSameObject) {
  ComRef<IUnknown> identity = site.query<IUnknown>(IID_IUnknown);
  ASSERT_TRUE(identity);
  for (REFIID iid : {IID_IOleClientSite, IID_IOleWindow, IID_IOleInPlaceSite,
                     IID_IOleInPlaceUIWindow, IID_IOleInPlaceFrame, IID_IDocHostUIHandler,
                     IID_IOleCommandTarget}) {
    ComRef<IUnknown> part;
    ASSERT_EQ(identity->QueryInterface(iid, part.putVoid()), S_OK);
    // From any interface back to IUnknown gives the same pointer.
    EXPECT_EQ(part.query<IUnknown>(IID_IUnknown).get(), identity.get());
  }
  void* none = reinterpret_cast<void*>(1);
  // Not a dispatch of ambient properties, and not the control's own kinds.
  EXPECT_EQ(identity->QueryInterface(IID_IDispatch, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(identity->QueryInterface(IID_IOleObject, &none), E_NOINTERFACE);
}

TEST_F(BrowserSiteTest, HostSettingsAreADialogWithoutBorderScrollBarsAndHelpMenu) {
  DOCHOSTUIINFO info{};
  info.cbSize = sizeof(info);
  ASSERT_EQ(static_cast<IDocHostUIHandler*>(site.get())->GetHostInfo(&info), S_OK);
  EXPECT_EQ(info.dwFlags, 0x0Fu);
  EXPECT_EQ(info.dwDoubleClick, DWORD(DOCHOSTUIDBLCLK_DEFAULT));
  POINT where{10, 10};
  // The host "showed" the menu: nothing appears anywhere.
  EXPECT_EQ(site->ShowContextMenu(CONTEXT_MENU_DEFAULT, &where, nullptr, nullptr), S_OK);
}

TEST_F(BrowserSiteTest, AScriptErrorShowsNoBoxAndTheScriptsGoOn) {
  auto target = site.query<IOleCommandTarget>(IID_IOleCommandTarget);
  ASSERT_TRUE(target);
  VARIANT answer;
  VariantInit(&answer);
  // The control asks its host before it shows the box: handled, go on.
  ASSERT_EQ(target->Exec(&kDocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR, 0, nullptr,
                         &answer),
            S_OK);
  EXPECT_EQ(answer.vt, VT_BOOL);
  EXPECT_EQ(answer.boolVal, VARIANT_TRUE);
  OLECMD command{OLECMDID_SHOWSCRIPTERROR, 0};
  ASSERT_EQ(target->QueryStatus(&kDocHostCommandHandler, 1, &command, nullptr), S_OK);
  EXPECT_TRUE(command.cmdf & OLECMDF_SUPPORTED);
  // Nothing else is answered: the control goes its own way.
  EXPECT_EQ(target->Exec(&kDocHostCommandHandler, OLECMDID_SHOWMESSAGE, 0, nullptr, nullptr),
            OLECMDERR_E_NOTSUPPORTED);
  EXPECT_EQ(target->Exec(nullptr, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, nullptr),
            OLECMDERR_E_UNKNOWNGROUP);
}

TEST_F(BrowserSiteTest, TheExternalObjectIsHandedOutWithAReferenceOfItsOwn) {
  IDispatch* handed = nullptr;
  ASSERT_EQ(site->GetExternal(&handed), S_OK);
  EXPECT_EQ(handed, static_cast<IDispatch*>(external.get()));
  // Creator, site and the caller's reference: AddRef answers 4.
  EXPECT_EQ(handed->AddRef(), 4u);
  handed->Release();
  handed->Release();
  // Once disconnected the site holds nothing and hands nothing out.
  site->disconnect();
  EXPECT_EQ(site->GetExternal(&handed), S_FALSE);
  EXPECT_EQ(handed, nullptr);
  EXPECT_EQ(external->AddRef(), 2u);
  external->Release();
}

TEST_F(BrowserSiteTest, TheActiveObjectIsHeldWhileActiveAndReleasedAfter) {
  CountedActiveObject active;
  site->SetActiveObject(&active, nullptr);
  EXPECT_EQ(active.references, 2u);
  EXPECT_EQ(site->activeObject(), &active);
  site->SetActiveObject(nullptr, nullptr);
  EXPECT_EQ(active.references, 1u);
  EXPECT_EQ(site->activeObject(), nullptr);

  // Deactivation and the end of the dialog let it go as well.
  site->SetActiveObject(&active, nullptr);
  site->OnInPlaceDeactivate();
  EXPECT_EQ(active.references, 1u);
  site->SetActiveObject(&active, nullptr);
  site->disconnect();
  EXPECT_EQ(active.references, 1u);
}

} // namespace
