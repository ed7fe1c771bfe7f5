// Creating objects by class name, as the platform's CreateObject does. The stand-in provides
// one class, "ADODB.Connection" (letter case ignored, as class names are on the platform). Any
// other name fails with 429 "ActiveX component can't create object", and so does a class the
// factory has been told is absent, which is how a machine without ADO is imitated.
#pragma once

#include "ado/connection.h"

#include <memory>
#include <string>
#include <string_view>

namespace ado {

inline constexpr std::string_view kConnectionClass = "ADODB.Connection";

class ObjectFactory {
public:
    // Throws ComError 429.
    std::unique_ptr<Connection> createObject(std::string_view className) const;
    // Makes the connection class absent or present again.
    void setConnectionClassAbsent(bool absent) { m_connectionAbsent = absent; }

private:
    bool m_connectionAbsent = false;
};

}  // namespace ado
