#pragma once
// The one base of every error the program raises, carrying a message text in
// the program's 8-bit code page, and the named kinds derived from it.

#include <exception>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }
    std::string Message;
};

// A text that is not a number where one was expected.
class EConvertError : public Exception {
    using Exception::Exception;
};
// A registry value of the wrong type, or a value that could not be written.
class ERegistryException : public Exception {
    using Exception::Exception;
};
// A file that exists but could not be opened or read.
class EFOpenError : public Exception {
    using Exception::Exception;
};
// A file that could not be created or written.
class EFCreateError : public Exception {
    using Exception::Exception;
};
// An index outside a list.
class EListError : public Exception {
public:
    using Exception::Exception;
    static EListError Index(long long index) {
        return EListError("List index out of bounds (" + std::to_string(index) + ")");
    }
};
// A precondition of an operation that does not hold ("Assertion failure").
class EAssertionFailed : public Exception {
    using Exception::Exception;
};
// Memory for a buffer could not be had.
class EOutOfMemory : public Exception {
    using Exception::Exception;
};
