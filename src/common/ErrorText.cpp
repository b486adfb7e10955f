#include "common/ErrorText.h"

#include <algorithm>
#include <cerrno>
#include <iterator>

namespace {
struct ErrorEntry {
    int32_t number;
    const char* text;
};

// Sorted by number, so the look-up can search it.
constexpr ErrorEntry Errors[] = {
    {0, "No error"},
    {3, "Return without GoSub"},
    {5, "Invalid procedure call or argument"},
    {6, "Overflow"},
    {7, "Out of memory"},
    {9, "Subscript out of range"},
    {10, "This array is fixed or temporarily locked"},
    {11, "Division by zero"},
    {13, "Type mismatch"},
    {14, "Out of string space"},
    {16, "Expression too complex"},
    {17, "Can't perform requested operation"},
    {18, "User interrupt occurred"},
    {20, "Resume without error"},
    {28, "Out of stack space"},
    {35, "Sub or Function not defined"},
    {47, "Too many DLL application clients"},
    {48, "Error in loading DLL"},
    {49, "Bad DLL calling convention"},
    {51, "Internal error"},
    {52, "Bad file name or number"},
    {53, "File not found"},
    {54, "Bad file mode"},
    {55, "File already open"},
    {57, "Device I/O error"},
    {58, "File already exists"},
    {59, "Bad record length"},
    {61, "Disk full"},
    {62, "Input past end of file"},
    {63, "Bad record number"},
    {67, "Too many files"},
    {68, "Device unavailable"},
    {70, "Permission denied"},
    {71, "Disk not ready"},
    {74, "Can't rename with different drive"},
    {75, "Path/File access error"},
    {76, "Path not found"},
    {91, "Object variable or With block variable not set"},
    {92, "For loop not initialized"},
    {93, "Invalid pattern string"},
    {94, "Invalid use of Null"},
    {96, "Unable to sink events of object because the object is already firing events to the "
         "maximum number of event receivers that it supports"},
    {97, "Can not call friend function on object which is not an instance of defining class"},
    {98, "A property or method call cannot include a reference to a private object, either as "
         "an argument or as a return value"},
    {282, "No other application has responded to the DDE initiative"},
    {321, "Invalid file format"},
    {322, "Can't create necessary temporary file"},
    {325, "Invalid format in resource file"},
    {380, "Invalid property value"},
    {381, "Invalid property array index"},
    {382, "Set not supported at runtime"},
    {383, "Set not supported (read-only property)"},
    {385, "Need property array index"},
    {387, "Set not permitted"},
    {393, "Get not supported at runtime"},
    {394, "Get not supported (write-only property)"},
    {422, "Property not found"},
    {423, "Property or method not found"},
    {424, "Object required"},
    {429, "ActiveX component can't create object"},
    {430, "Class doesn't support Automation"},
    {432, "File name or class name not found during Automation operation"},
    {438, "Object doesn't support this property or method"},
    {440, "Automation error"},
    {442, "Connection to type library or object library for remote process has been lost. "
          "Press OK for dialog to remove reference."},
    {443, "Automation object does not have a default value"},
    {445, "Object doesn't support this action"},
    {446, "Object doesn't support named arguments"},
    {447, "Object doesn't support current locale setting"},
    {448, "Named argument not found"},
    {449, "Argument not optional"},
    {450, "Wrong number of arguments or invalid property assignment"},
    {451, "Object not a collection"},
    {452, "Invalid ordinal"},
    {453, "Specified DLL function not found"},
    {454, "Code resource not found"},
    {455, "Code resource lock error"},
    {457, "This key is already associated with an element of this collection"},
    {458, "Variable uses an Automation type not supported"},
    {459, "Object or class does not support the set of events"},
    {460, "Invalid clipboard format"},
    {481, "Invalid picture"},
    {482, "Printer error"},
    {735, "Can't save file to TEMP"},
    {744, "Search text not found"},
    {746, "Replacements too long"},
    {10001, "Unknown Tag"},
    {10002, "Compression not supported"},
    {10003, "User Abort"},
    {10004, "Cannot allocate memory"},
    {10006, "End of video clip"},
    {10007, "Experiment canceled by user"},
    {10008, "Function not available"},
    {10012, "Empty video file (No frames)"},
    {10013, "Unknown fileformat"},
    {10014, "Experiment stopped: Image full"},
    {10015, "Max. number of Sheet rows reached"},
    {10016, "RDY TimeOut"},
};
} // namespace

QString ErrorText(int32_t number) {
    const auto* end = std::end(Errors);
    const auto* it = std::lower_bound(
        std::begin(Errors), end, number,
        [](const ErrorEntry& entry, int32_t wanted) { return entry.number < wanted; });
    if (it != end && it->number == number)
        return QString::fromLatin1(it->text);
    return QStringLiteral("Unknown error (Code #%1)").arg(number);
}

int32_t errorNumberForErrno(int errnoValue) {
    switch (errnoValue) {
    case ENOENT:
    case ENOTDIR:
        return 76; // Path not found
    case EACCES:
    case EPERM:
    case EROFS:
        return 70; // Permission denied
    case ENOSPC:
    case EDQUOT:
        return 61; // Disk full
    case EIO:
        return 57; // Device I/O error
    default:
        return 75; // Path/File access error
    }
}
