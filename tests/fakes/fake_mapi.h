#pragma once

#include "mail/mapi.h"

// What the fake provider exports beside MAPISendMail.
extern "C" {
typedef const char* (*FakeMapiLastCallFunction)();
typedef void (*FakeMapiSetResultFunction)(MapiULong code);
}
