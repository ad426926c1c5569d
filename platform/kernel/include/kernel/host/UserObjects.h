// Objects a user-mode program hands to the driver by handle: events it
// created, with the access its handle grants.
#pragma once

#include "kernel/Sync.h"
#include "kernel/Types.h"

namespace kernel {

class UserObjects {
 public:
  // What CreateEvent gives a program: a handle to a new event object.
  static HANDLE createEvent(EVENT_TYPE type, bool signalled, ACCESS_MASK grantedAccess);
  // The event behind a handle, for the program that owns it; null if none.
  static PKEVENT eventOf(HANDLE handle);
  // Closes any handle the object table holds; false if it holds none.
  static bool closeHandle(HANDLE handle);
  // Objects that exist now (handles or references keep them).
  static int liveObjects();
};

}  // namespace kernel
