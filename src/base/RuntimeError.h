#pragma once

#include <stdexcept>

// A numbered run-time error: 6 overflow, 53 file not found, 91 object not set,
// 727 control name already taken, and so on. Each procedure catches it where
// its failure rules say; it never travels further.
class RuntimeError : public std::runtime_error
{
public:
    enum Number {
        Overflow = 6,
        FileNotFound = 53,
        PermissionDenied = 70,
        InvalidProcedureCall = 5,
        ObjectNotSet = 91,
        ControlNameTaken = 727,
    };

    explicit RuntimeError(int number, const char *what = "run-time error")
        : std::runtime_error(what),
          mNumber(number)
    {}

    int number() const noexcept { return mNumber; }

private:
    int mNumber;
};
