#pragma once
// The game's dynamic array and weak object pointer, as plugins read them.

template <typename ElementType, typename Allocator = void>
class TArray {
  public:
    int Num() const { return ArrayNum; }
    bool IsEmpty() const { return ArrayNum == 0; }

  private:
    ElementType* Data = nullptr;
    int ArrayNum = 0;
    int ArrayMax = 0;
};

template <typename T>
struct TWeakObjectPtr {
    int ObjectIndex = 0;
    int ObjectSerialNumber = 0;
};
