// A command's object variable: it holds an object once the object was created, and nothing when
// the creation failed (and was reported). Using a variable that holds nothing fails the way the
// platform's run-time fails, so the failure is reported under the using statement's number and
// never dereferences a null pointer.
#pragma once

#include <memory>
#include <stdexcept>

namespace db {

inline constexpr char kObjectVariableNotSet[] = "Object variable or With block variable not set";

template <typename Object>
Object& objectOf(const std::unique_ptr<Object>& variable) {
    if (variable == nullptr) {
        throw std::runtime_error(kObjectVariableNotSet);
    }
    return *variable;
}

}  // namespace db
