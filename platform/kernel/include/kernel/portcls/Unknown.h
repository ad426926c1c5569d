// The port class's object pattern: reference-counted objects reached through
// interfaces, QueryInterface by GUID, and an aggregatable non-delegating
// IUnknown. Objects are created in pool with a tag.
#pragma once

#include "kernel/Pool.h"
#include "kernel/Types.h"

#define STDMETHODCALLTYPE
#define STDMETHOD(method) virtual NTSTATUS STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define STDMETHODIMP NTSTATUS STDMETHODCALLTYPE
#define STDMETHODIMP_(type) type STDMETHODCALLTYPE

extern const GUID IID_IUnknown;

struct IUnknown {
  STDMETHOD(QueryInterface)(REFIID interfaceId, PVOID* object) = 0;
  STDMETHOD_(ULONG, AddRef)() = 0;
  STDMETHOD_(ULONG, Release)() = 0;

 protected:
  ~IUnknown() = default;  // objects are destroyed through Release
};
using PUNKNOWN = IUnknown*;

struct INonDelegatingUnknown {
  STDMETHOD(NonDelegatingQueryInterface)(REFIID interfaceId, PVOID* object) = 0;
  STDMETHOD_(ULONG, NonDelegatingAddRef)() = 0;
  STDMETHOD_(ULONG, NonDelegatingRelease)() = 0;

 protected:
  ~INonDelegatingUnknown() = default;
};
using PNONDELEGATINGUNKNOWN = INonDelegatingUnknown*;

// Base of the driver's objects: the reference count, the outer unknown that
// the object's interfaces delegate to, and allocation in tagged pool (zeroed,
// as the port class allocates its objects).
class CUnknown : public INonDelegatingUnknown {
 public:
  explicit CUnknown(PUNKNOWN outerUnknown);
  virtual ~CUnknown();
  CUnknown(const CUnknown&) = delete;
  CUnknown& operator=(const CUnknown&) = delete;

  PUNKNOWN GetOuterUnknown() { return outerUnknown; }
  // The object's own IUnknown: what QueryInterface(IID_IUnknown) returns.
  PUNKNOWN GetNonDelegatingUnknown() { return &ownUnknown; }

  STDMETHODIMP NonDelegatingQueryInterface(REFIID interfaceId, PVOID* object) override;
  STDMETHODIMP_(ULONG) NonDelegatingAddRef() override;
  STDMETHODIMP_(ULONG) NonDelegatingRelease() override;

  // Null when the pool is exhausted: the new-expression then yields null.
  static void* operator new(std::size_t size, POOL_TYPE poolType, ULONG tag) noexcept;
  static void operator delete(void* object);
  // Matches the placement form, used only if a constructor throws.
  static void operator delete(void* object, POOL_TYPE, ULONG);

 private:
  // Forwards IUnknown calls to the non-delegating methods.
  struct OwnUnknown final : IUnknown {
    CUnknown* owner = nullptr;
    STDMETHODIMP QueryInterface(REFIID interfaceId, PVOID* object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
  };

  LONG referenceCount = 0;
  OwnUnknown ownUnknown;
  PUNKNOWN outerUnknown;
};

// The IUnknown methods of an object's interfaces, all delegating to the
// outer unknown; the object implements NonDelegatingQueryInterface.
#define DECLARE_STD_UNKNOWN()                                                           \
  STDMETHODIMP NonDelegatingQueryInterface(REFIID interfaceId, PVOID* object) override; \
  STDMETHODIMP QueryInterface(REFIID interfaceId, PVOID* object) override {             \
    return GetOuterUnknown()->QueryInterface(interfaceId, object);                      \
  }                                                                                     \
  STDMETHODIMP_(ULONG) AddRef() override { return GetOuterUnknown()->AddRef(); }        \
  STDMETHODIMP_(ULONG) Release() override { return GetOuterUnknown()->Release(); }

#define DEFINE_STD_CONSTRUCTOR(Class) \
  explicit Class(PUNKNOWN outer) : CUnknown(outer) {}
