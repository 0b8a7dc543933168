#include "data_access/shared_object.h"

#include <cxxabi.h>

#include <cstdlib>
#include <string>
#include <typeinfo>

#include "platform/exceptions.h"

namespace data_access {

namespace {

// The class's own name, without its namespaces.
std::string ClassName(const TSharedObject& object) {
    const char* mangled = typeid(object).name();
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> demangled(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &std::free);
    const std::string name = status == 0 ? demangled.get() : mangled;
    const std::size_t scope = name.rfind("::");
    return scope == std::string::npos ? name : name.substr(scope + 2);
}

}  // namespace

void TSharedObject::Release() {
    if (FRefCount <= 0) {
        platform::Assert(false, ClassName(*this) + ".Free RefCount = " + std::to_string(FRefCount));
    }
    if (FRefCount > 1) {
        --FRefCount;
        return;
    }
    // At 0 before any destructor runs, so that a release from inside one is caught above.
    FRefCount = 0;
    delete this;
}

void TSharedObject::CheckValid() const {
    if (FRefCount == 0) {
        throw platform::Exception("Invalid SharedObject");
    }
}

}  // namespace data_access
