// Wine's rpcndr.h, with interfaces declared as the Windows SDK declares them
// for Microsoft's compiler: carrying their interface ID, so that __uuidof
// reads it.
#pragma once
#include_next <rpcndr.h>

#ifdef __cplusplus
#undef DECLSPEC_UUID
#define DECLSPEC_UUID(x) __declspec(uuid(x))
#undef MIDL_INTERFACE
#define MIDL_INTERFACE(x) struct __declspec(uuid(x)) __declspec(novtable)
#endif
