#pragma once
// The game's dynamic array and weak object pointer, as plugins read them.

#include "API/Base.h"

template <typename ElementType, typename Allocator = void>
class TArray {
  public:
    int Num() const { return ArrayNum; }
    bool IsEmpty() const { return ArrayNum == 0; }

    ElementType* begin() { return Data; }
    ElementType* end() { return Data + ArrayNum; }
    const ElementType* begin() const { return Data; }
    const ElementType* end() const { return Data + ArrayNum; }

  private:
    ElementType* Data = nullptr;
    int ArrayNum = 0;
    int ArrayMax = 0;
};

// A reference to a game object that does not keep it alive: Get() is null once the object is
// gone, as for a player who has left while their slot is still listed.
template <typename T>
struct TWeakObjectPtr {
    int ObjectIndex = 0;
    int ObjectSerialNumber = 0;

    T* Get(bool bEvenIfPendingKill = false) {
        using Fn = T* (*)(TWeakObjectPtr*, bool);
        return reinterpret_cast<Fn>(GetAddress("FWeakObjectPtr.Get()"))(this, bEvenIfPendingKill);
    }
    T* operator->() { return Get(); }
    explicit operator bool() { return Get() != nullptr; }
};
