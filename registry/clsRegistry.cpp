#include "registry/clsRegistry.h"

std::wstring AsText(const RegValue& value) { return value.value_or(std::wstring{}); }

RegistryApi& Advapi() noexcept {
    static RegistryApi api;
    return api;
}
