// Small scope helpers.
#pragma once

#include <utility>

// Sets a variable for the scope and puts its old value back at the end, on every exit path.
template <class T>
class TRestore {
 public:
  TRestore(T& variable, T value) : variable_(variable), saved_(std::exchange(variable, value)) {}
  ~TRestore() { variable_ = saved_; }
  TRestore(const TRestore&) = delete;
  TRestore& operator=(const TRestore&) = delete;

 private:
  T& variable_;
  T saved_;
};
