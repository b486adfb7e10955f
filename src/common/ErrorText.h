#pragma once
// Run-time error number to the fixed English message shown in the program's
// critical message boxes. Numbers without a text give "Unknown error (Code #n)".
#include <QString>
#include <cstdint>

QString ErrorText(int32_t number);
