#pragma once
// Shared libraries the program needs for one feature only (printing, JPEG
// pictures, HTML pages), opened the first time that feature is used, so
// that a run which only lists and edits films never maps them.

#include "platform/errors/Exception.h"

#include <cstring>
#include <string>

namespace module {

// A library that cannot be opened, or lacks a function the program calls.
class ELibraryError : public Exception {
    using Exception::Exception;
};

class Library {
public:
    // Opens the library by its file name (as the loader looks it up);
    // `feature` says what it is needed for. Raises ELibraryError "<feature>
    // needs the library <name>, which cannot be loaded (<reason>)".
    Library(const char* fileName, const char* feature);
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    // The library stays mapped until the program ends: functions taken
    // from it may be held anywhere.

    // The address of a symbol; raises ELibraryError when it is missing.
    void* Symbol(const char* name) const;
    // A function by its name, of the declared type F (decltype of the
    // function's declaration).
    template <class F>
    F* Function(const char* name) const {
        void* address = Symbol(name);
        F* f;
        static_assert(sizeof f == sizeof address);
        std::memcpy(&f, &address, sizeof f);
        return f;
    }

private:
    std::string name_, feature_;
    void* handle_;
};

// Whether a library of this file name is mapped into the process now.
bool IsMapped(const char* fileName);

}  // namespace module

// The function `fn` of the library `lib`, with the type of its declaration.
#define FLICKSTOW_FUNCTION(lib, fn) ((lib).Function<decltype(::fn)>(#fn))
