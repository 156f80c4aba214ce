#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "host/memory.h"

// The game's dynamic array: element pointer, signed 32-bit count and capacity, storage from the
// game's allocator. Copies are deep; a moved-from array is empty.
template <typename T>
class TArray {
 public:
  TArray() noexcept = default;
  TArray(std::initializer_list<T> items) {
    Reserve(static_cast<int32_t>(items.size()));
    for (const T& item : items) Add(item);
  }
  TArray(const TArray& other) {
    Reserve(other.count_);
    for (const T& item : other) Add(item);
  }
  TArray(TArray&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        count_(std::exchange(other.count_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  TArray& operator=(const TArray& other) {
    if (this != &other) {
      TArray copy(other);
      Swap(copy);
    }
    return *this;
  }
  TArray& operator=(TArray&& other) noexcept {
    TArray moved(std::move(other));
    Swap(moved);
    return *this;
  }
  ~TArray() { Empty(); }

  int32_t Num() const { return count_; }
  int32_t Max() const { return capacity_; }
  bool IsEmpty() const { return count_ == 0; }
  T* GetData() { return data_; }
  const T* GetData() const { return data_; }
  T& operator[](int32_t i) { return data_[i]; }
  const T& operator[](int32_t i) const { return data_[i]; }
  T* begin() { return data_; }
  T* end() { return data_ + count_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + count_; }

  // Appends a copy; taking the value first keeps Add(array[0]) safe across a reallocation.
  void Add(T value) {
    if (count_ == capacity_) Reserve(capacity_ < 4 ? 4 : capacity_ * 2);
    new (data_ + count_) T(std::move(value));
    ++count_;
  }

  void Reserve(int32_t capacity) {
    if (capacity <= capacity_) return;
    if constexpr (std::is_trivially_copyable_v<T>) {
      void* fresh = host_memory::Realloc(data_, sizeof(T) * static_cast<std::size_t>(capacity));
      if (fresh == nullptr) throw std::bad_alloc();
      data_ = static_cast<T*>(fresh);
    } else {
      T* fresh =
          static_cast<T*>(host_memory::Malloc(sizeof(T) * static_cast<std::size_t>(capacity)));
      if (fresh == nullptr) throw std::bad_alloc();
      for (int32_t i = 0; i < count_; ++i) {
        new (fresh + i) T(std::move(data_[i]));
        data_[i].~T();
      }
      host_memory::Free(data_);
      data_ = fresh;
    }
    capacity_ = capacity;
  }

  // Removes one element, keeping the order of the rest.
  void RemoveAt(int32_t index) {
    for (int32_t i = index; i + 1 < count_; ++i) data_[i] = std::move(data_[i + 1]);
    data_[--count_].~T();
  }

  // Removes every element and frees the storage.
  void Empty() {
    for (int32_t i = 0; i < count_; ++i) data_[i].~T();
    host_memory::Free(data_);
    data_ = nullptr;
    count_ = capacity_ = 0;
  }

  void Swap(TArray& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(count_, other.count_);
    std::swap(capacity_, other.capacity_);
  }

 private:
  T* data_ = nullptr;
  int32_t count_ = 0;
  int32_t capacity_ = 0;
};

static_assert(sizeof(TArray<int>) == 16);
