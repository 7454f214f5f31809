// A critical section (it can also be tried without waiting) and a guard that
// holds one for a scope.
#pragma once

#include <windows.h>

class TCriticalSection {
public:
    TCriticalSection() { InitializeCriticalSection(&CS); }
    ~TCriticalSection() { DeleteCriticalSection(&CS); }
    TCriticalSection(const TCriticalSection&) = delete;
    TCriticalSection& operator=(const TCriticalSection&) = delete;
    void Enter() { EnterCriticalSection(&CS); }
    void Leave() { LeaveCriticalSection(&CS); }
    bool TryEnter() { return TryEnterCriticalSection(&CS) != FALSE; }

private:
    CRITICAL_SECTION CS;
};

class TCriticalSectionGuard {
public:
    explicit TCriticalSectionGuard(TCriticalSection& cs) : CS(cs) { CS.Enter(); }
    ~TCriticalSectionGuard() { CS.Leave(); }
    TCriticalSectionGuard(const TCriticalSectionGuard&) = delete;
    TCriticalSectionGuard& operator=(const TCriticalSectionGuard&) = delete;

private:
    TCriticalSection& CS;
};
