// Base of the platform's kernel-object wrappers: move-only owners of a backend object.
#pragma once

#include <memory>

namespace kervale::platform {

// Each wrapper keeps its backend state behind an Impl that the backend file defines, so the core
// sees no platform type. Destruction closes the object.
#define KERVALE_PLATFORM_HANDLE(Type)          \
  public:                                      \
    Type();                                    \
    ~Type();                                   \
    Type(Type&&) noexcept;                     \
    Type& operator=(Type&&) noexcept;          \
    Type(const Type&) = delete;                \
    Type& operator=(const Type&) = delete;     \
    bool valid() const { return impl_ != nullptr; } \
    struct Impl;                               \
                                               \
  private:                                     \
    std::unique_ptr<Impl> impl_;

// In a backend file, once Impl is complete: the wrapper's special members, all defaulted.
#define KERVALE_PLATFORM_HANDLE_DEFAULTS(Type)              \
    Type::Type() = default;                                 \
    Type::~Type() = default;                                \
    Type::Type(Type&&) noexcept = default;                  \
    Type& Type::operator=(Type&&) noexcept = default;

}  // namespace kervale::platform
