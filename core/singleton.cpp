#include "core/singleton.h"

namespace {
Singleton* g_instance = nullptr;
}  // namespace

Singleton::Singleton() { g_instance = this; }

Singleton::~Singleton() {
  // An older object dying must not clear the pointer to a newer one.
  if (g_instance == this) g_instance = nullptr;
}

Singleton* Singleton::Instance() { return g_instance; }
