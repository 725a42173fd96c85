#include "platform/module/Library.h"

#include <dlfcn.h>
#include <link.h>

namespace module {

Library::Library(const char* fileName, const char* feature)
    : name_(fileName), feature_(feature), handle_(dlopen(fileName, RTLD_NOW | RTLD_LOCAL)) {
    if (!handle_) {
        const char* why = dlerror();
        throw ELibraryError(feature_ + " needs the library " + name_ + ", which cannot be loaded (" +
                            (why ? why : "unknown reason") + ")");
    }
}

void* Library::Symbol(const char* name) const {
    dlerror();
    void* address = dlsym(handle_, name);
    if (!address)
        throw ELibraryError(feature_ + " needs the function " + name + " of the library " + name_ + ", which it lacks");
    return address;
}

bool IsMapped(const char* fileName) {
    struct Search {
        std::string name;
        bool found = false;
    } search{fileName};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto* s = static_cast<Search*>(data);
            std::string path = info->dlpi_name ? info->dlpi_name : "";
            size_t slash = path.rfind('/');
            std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
            if (base == s->name || base.rfind(s->name + ".", 0) == 0) s->found = true;
            return s->found ? 1 : 0;
        },
        &search);
    return search.found;
}

}  // namespace module
