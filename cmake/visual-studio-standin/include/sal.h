// Wine's sal.h, with the annotations it lacks that the STL writes. They are
// for code analysis only and expand to nothing.
#pragma once
#include_next <sal.h>

#ifndef _Pre_satisfies_
#define _Pre_satisfies_(cond)
#endif
#ifndef _Analysis_assume_
#define _Analysis_assume_(expr)
#endif
