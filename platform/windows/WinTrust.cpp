// The trust check of a file through the system's trust provider:
// WinVerifyTrust with WINTRUST_ACTION_GENERIC_VERIFY_V2, the first signer's
// chain and time-stamp read from the provider's state, and the state
// released again on every path. The file is opened here and handed to the
// provider together with its path: the provider's own open shares read
// access only and would fail on a file that another program holds open for
// writing.
#include "platform/WinTrust.h"

#include "platform/windows/CertificateContext.h"
#include "platform/windows/FilePath.h"

#include <softpub.h>
#include <wintrust.h>

namespace platform {
namespace {

// The outcomes for which the provider's state names the signer.
bool reportsSigner(std::uint32_t status) {
  return status == kTrustSuccess || status == kCertRevoked || status == kTrustExplicitDistrust;
}

// One verification: the request is filled once, checked on construction
// and its state released (WTD_STATEACTION_CLOSE with the same window
// handle, action and request) on destruction, whatever came in between.
class TrustVerification {
public:
  // file: an open handle of path, or null for the provider to open it.
  TrustVerification(const std::wstring& path, HANDLE opened) {
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = path.c_str();
    file.hFile = opened;
    file.pgKnownSubject = nullptr;

    request.cbStruct = sizeof(request);
    request.pPolicyCallbackData = nullptr;
    request.pSIPClientData = nullptr;
    request.dwUIChoice = WTD_UI_NONE;
    request.fdwRevocationChecks = WTD_REVOKE_NONE;
    request.dwUnionChoice = WTD_CHOICE_FILE;
    request.pFile = &file;
    request.dwStateAction = WTD_STATEACTION_VERIFY;
    request.hWVTStateData = nullptr;
    request.pwszURLReference = nullptr;
    request.dwProvFlags = WTD_SAFER_FLAG;
    request.dwUIContext = 0;
    status = static_cast<std::uint32_t>(WinVerifyTrust(window(), &action, &request));
  }

  ~TrustVerification() {
    request.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(window(), &action, &request);
  }

  TrustVerification(const TrustVerification&) = delete;
  TrustVerification& operator=(const TrustVerification&) = delete;

  std::uint32_t result() const { return status; }
  HANDLE state() const { return request.hWVTStateData; }

private:
  // No window: all bits set (INVALID_HANDLE_VALUE).
  static HWND window() { return static_cast<HWND>(INVALID_HANDLE_VALUE); }

  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  WINTRUST_FILE_INFO file{};
  WINTRUST_DATA request{};
  std::uint32_t status = kCryptFileError;
};

// The first signer's chain (the signer's own certificate first; an index
// the provider gives no certificate for stays an empty certificate),
// countersigner count and verification time. Leaves check unchanged when
// the state holds no signer.
void readFirstSigner(HANDLE state, TrustCheck& check) {
  CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(state);
  if (!provider)
    return;
  CRYPT_PROVIDER_SGNR* signer = WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0);
  if (!signer)
    return;
  check.hasSigner = true;
  check.counterSignerCount = signer->csCounterSigners;
  check.verifyAsOf = {signer->sftVerifyAsOf.dwLowDateTime, signer->sftVerifyAsOf.dwHighDateTime};
  for (DWORD index = 0; index < signer->csCertChain; ++index) {
    CRYPT_PROVIDER_CERT* certificate = WTHelperGetProvCertFromChain(signer, index);
    check.chain.push_back(certificate ? wrapCertificateContext(certificate->pCert) : Certificate());
  }
}

} // namespace

FileTime currentFileTime() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return {now.dwLowDateTime, now.dwHighDateTime};
}

TrustCheck winVerifyTrust(const std::u16string& windowsPath) {
  TrustCheck check;
  const std::wstring path = win::filePath(windowsPath);
  HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (opened != INVALID_HANDLE_VALUE && GetFileType(opened) != FILE_TYPE_DISK) {
    CloseHandle(opened); // a pipe or a device: the provider decides as before
    opened = INVALID_HANDLE_VALUE;
  }
  {
    // What cannot be opened here is left to the provider, which reports
    // its own status for it.
    TrustVerification verification(path, opened == INVALID_HANDLE_VALUE ? nullptr : opened);
    check.status = verification.result();
    if (reportsSigner(check.status))
      readFirstSigner(verification.state(), check);
  } // the state is released before the file is closed
  if (opened != INVALID_HANDLE_VALUE)
    CloseHandle(opened);
  return check;
}

} // namespace platform
