// The stand-in's own rules, through the runtime's activation.
#include <gtest/gtest.h>

#include "standin/control.h"
