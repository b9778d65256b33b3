#pragma once

// Base of a class whose one object is reachable through a global pointer.
// The pointer is set by the constructor (a second object replaces the first)
// and cleared when the object it points at is destroyed. Instance() never
// creates an object.
class Singleton {
 public:
  Singleton();
  virtual ~Singleton();
  Singleton(const Singleton&) = delete;
  Singleton& operator=(const Singleton&) = delete;

  static Singleton* Instance();
};
