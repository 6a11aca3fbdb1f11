// The UCRT's header of terminate and its handlers, which the STL's
// filesystem.cpp includes; Wine declares them in eh.h, in C++ linkage where
// ucrtbase.dll exports C names.
#pragma once
extern "C" {
#include <eh.h>
}
