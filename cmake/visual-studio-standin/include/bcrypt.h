// Wine's bcrypt.h, with the status test the Windows SDK's defines.
#pragma once
#include_next <bcrypt.h>

#ifndef BCRYPT_SUCCESS
#define BCRYPT_SUCCESS(status) (((NTSTATUS)(status)) >= 0)
#endif
