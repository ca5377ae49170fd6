// Ownership helpers for COM in the Windows window: a self-releasing interface
// pointer, a self-freeing BSTR, a self-clearing VARIANT, and a count of this
// program's own COM objects that are alive, so that a leaked reference shows.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <atomic>
#include <utility>

// One counted reference to a COM interface, released when it goes.
template <class T>
class ComRef {
public:
  ComRef() = default;
  // Adopts a reference the caller already holds (as an out-parameter gives it).
  explicit ComRef(T* adopted) : pointer(adopted) {}
  ComRef(const ComRef& other) : pointer(other.pointer) {
    if (pointer)
      pointer->AddRef();
  }
  ComRef(ComRef&& other) noexcept : pointer(std::exchange(other.pointer, nullptr)) {}
  ComRef& operator=(ComRef other) noexcept {
    std::swap(pointer, other.pointer);
    return *this;
  }
  ~ComRef() { reset(); }

  // Takes a new reference of its own to a pointer someone else holds.
  static ComRef share(T* borrowed) {
    if (borrowed)
      borrowed->AddRef();
    return ComRef(borrowed);
  }

  void reset() {
    if (T* old = std::exchange(pointer, nullptr))
      old->Release();
  }
  T* get() const { return pointer; }
  T* operator->() const { return pointer; }
  explicit operator bool() const { return pointer != nullptr; }

  // For an out-parameter: drops the current reference and lends the slot.
  T** put() {
    reset();
    return &pointer;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }

  // Hands the reference to the caller (an out-parameter of ours).
  T* detach() { return std::exchange(pointer, nullptr); }

  // Another interface of the same object, or an empty reference.
  template <class U>
  ComRef<U> query(REFIID iid) const {
    ComRef<U> other;
    if (pointer)
      pointer->QueryInterface(iid, other.putVoid());
    return other;
  }

private:
  T* pointer = nullptr;
};

// A BSTR owned by this scope.
class BStr {
public:
  explicit BStr(const wchar_t* text) : value(SysAllocString(text)) {}
  ~BStr() { SysFreeString(value); }
  BStr(const BStr&) = delete;
  BStr& operator=(const BStr&) = delete;
  BSTR get() const { return value; }
  explicit operator bool() const { return value != nullptr; }

private:
  BSTR value;
};

// A VARIANT cleared when it goes.
class Variant {
public:
  Variant() { VariantInit(&value); }
  ~Variant() { VariantClear(&value); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* get() { return &value; }

private:
  VARIANT value;
};

// How many COM objects of this program exist. Each of our COM classes holds
// one LiveComObject; when the window has ended and every reference has been
// released, the count is back to zero.
inline std::atomic<long> liveComObjectCount{0};

struct LiveComObject {
  LiveComObject() { ++liveComObjectCount; }
  ~LiveComObject() { --liveComObjectCount; }
  LiveComObject(const LiveComObject&) = delete;
  LiveComObject& operator=(const LiveComObject&) = delete;
};

// The reference count of one COM object; its Release deletes the object when
// the count reaches zero.
class RefCount {
public:
  ULONG add() { return ++count; }
  ULONG release() { return --count; }

private:
  std::atomic<ULONG> count{1}; // the creator's reference
};
