#include "platform/DynamicLibrary.h"

#include <cerrno>
#include <dlfcn.h>

namespace platform {

void HardenLibrarySearch() {}

void* LoadDynamicLibrary(const std::string& path, LibraryLoadFailure& failure) {
    // A name without a slash would make the loader search its own folders.
    const std::string spelled = path.find('/') == std::string::npos ? "./" + path : path;
    errno = 0;
    dlerror();
    void* library = dlopen(spelled.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        failure.code = errno;
        const char* reason = dlerror();
        failure.reason = reason != nullptr ? reason : "unknown reason";
    }
    return library;
}

void* ResolveSymbol(void* library, const char* name) {
    if (library == nullptr)
        return nullptr;
    return dlsym(library, name);
}

void FreeDynamicLibrary(void* library) {
    if (library != nullptr)
        dlclose(library);
}

} // namespace platform
