// A counted COM interface reference: releases what it holds when it goes away.
#pragma once

#include <unknwn.h>

#include <utility>

template <class T>
class TComPtr {
public:
    TComPtr() = default;
    TComPtr(std::nullptr_t) {}
    // Takes a new reference on p.
    explicit TComPtr(T* p) : P(p)
    {
        if (P) P->AddRef();
    }
    TComPtr(const TComPtr& o) : P(o.P)
    {
        if (P) P->AddRef();
    }
    TComPtr(TComPtr&& o) noexcept : P(o.P) { o.P = nullptr; }
    ~TComPtr() { Release(); }
    TComPtr& operator=(const TComPtr& o)
    {
        TComPtr(o).Swap(*this);
        return *this;
    }
    TComPtr& operator=(TComPtr&& o) noexcept
    {
        TComPtr(std::move(o)).Swap(*this);
        return *this;
    }
    TComPtr& operator=(std::nullptr_t)
    {
        Release();
        return *this;
    }

    void Release()
    {
        T* p = P;
        P = nullptr;
        if (p) p->Release();
    }
    void Swap(TComPtr& o) noexcept { std::swap(P, o.P); }

    T* Get() const { return P; }
    T* operator->() const { return P; }
    explicit operator bool() const { return P != nullptr; }
    // The address to receive a new reference; releases the current one first.
    T** Put()
    {
        Release();
        return &P;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    // QueryInterface for another interface; empty on failure. The result is
    // returned in hr when asked for.
    template <class U>
    TComPtr<U> As(REFIID iid, HRESULT* hr = nullptr) const
    {
        TComPtr<U> r;
        HRESULT h = P ? P->QueryInterface(iid, r.PutVoid()) : E_POINTER;
        if (hr) *hr = h;
        return r;
    }

private:
    T* P = nullptr;
};
