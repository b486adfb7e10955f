#pragma once
// Run-time error number to the fixed English message shown in the program's
// critical message boxes. Numbers without a text give "Unknown error (Code #n)".
#include <QString>
#include <cstdint>

QString ErrorText(int32_t number);

// The run-time error number a user knows for a failed file operation (errno):
// 76 path not found, 70 permission denied, 61 disk full, 57 device I/O error,
// else 75 path/file access error.
int32_t errorNumberForErrno(int errnoValue);
