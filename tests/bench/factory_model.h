#pragma once
// A model of the cached class factory of an in-process server, made as the
// extension's factory path is meant to be: the factory created once under
// the object-map lock and cached; a lock-free test of the cache on every
// later request, then QueryInterface over a one-row interface table;
// AddRef and Release change the count atomically under the factory's cache
// lock, AddRef raising the module count on the 1 to 2 step while it holds
// that lock, Release lowering it on the count it read under the lock, after
// leaving it. The floor of the factory benchmark: what that path costs with
// nothing else in it, compiled into the benchmark itself.

#include <windows.h>
#include <objbase.h>

// The one class the model serves.
extern const CLSID CLSID_FactoryModel;

// DllGetClassObject of the model.
HRESULT STDAPICALLTYPE ModelGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);

// The model's module count (what its DllCanUnloadNow would answer from).
LONG ModelLockCount();
