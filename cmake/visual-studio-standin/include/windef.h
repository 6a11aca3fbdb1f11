// Wine's windef.h, without its `#define inline __inline` for Microsoft's
// compiler: the STL refuses a macro named after a keyword.
#pragma once
#include_next <windef.h>

#ifdef __cplusplus
#undef inline
#endif
