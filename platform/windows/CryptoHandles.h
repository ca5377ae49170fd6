// Self-releasing owners for the CryptoAPI handles the trust and crypto layer
// holds: certificate contexts, messages, providers, hashes and keys. Each handle is released exactly once, by its owner; nothing in the
// layer releases a handle by hand.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <memory>
#include <utility>

namespace platform {

// Sole owner of a handle that is a plain value (HCRYPTPROV, HCRYPTHASH,
// HCRYPTKEY are integers, not pointers); zero is "none".
template <typename Handle, void (*Release)(Handle)>
class UniqueHandle {
public:
  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : value(handle) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : value(std::exchange(other.value, Handle{})) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      reset();
      value = std::exchange(other.value, Handle{});
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Handle get() const { return value; }
  explicit operator bool() const { return value != Handle{}; }
  void reset() {
    if (value != Handle{})
      Release(value);
    value = Handle{};
  }

private:
  Handle value{};
};

namespace handles {
inline void releaseProvider(HCRYPTPROV provider) { CryptReleaseContext(provider, 0); }
inline void destroyHash(HCRYPTHASH hash) { CryptDestroyHash(hash); }
inline void destroyKey(HCRYPTKEY key) { CryptDestroyKey(key); }
} // namespace handles

using CryptProvider = UniqueHandle<HCRYPTPROV, handles::releaseProvider>;
using CryptHash = UniqueHandle<HCRYPTHASH, handles::destroyHash>;
using CryptKey = UniqueHandle<HCRYPTKEY, handles::destroyKey>;

struct CertContextRelease {
  void operator()(PCCERT_CONTEXT context) const { CertFreeCertificateContext(context); }
};
struct CryptMsgRelease {
  void operator()(void* message) const { CryptMsgClose(message); }
};

using CertContextPtr = std::unique_ptr<const CERT_CONTEXT, CertContextRelease>;
using CryptMsgPtr = std::unique_ptr<void, CryptMsgRelease>;     // HCRYPTMSG

// A verification-only provider of the given type (no key container), or
// none when the platform cannot provide one.
inline CryptProvider acquireVerifyProvider(DWORD type) {
  HCRYPTPROV provider = 0;
  if (!CryptAcquireContextW(&provider, nullptr, nullptr, type, CRYPT_VERIFYCONTEXT))
    return {};
  return CryptProvider(provider);
}

} // namespace platform
