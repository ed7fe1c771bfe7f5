// The four database texts - path and password of database #1 and of database #2 - as the
// database selection window holds them. Every routine that opens a database reads them through
// this interface at the moment it needs them; nothing keeps a copy. An empty password means
// none. The texts are used as typed: not trimmed, quoted or escaped.
#pragma once

#include <QString>

namespace db {

class DatabaseTexts {
public:
    virtual ~DatabaseTexts() = default;

    virtual QString Text1() const = 0;  // path of database #1
    virtual QString Text2() const = 0;  // password of database #1
    virtual QString Text3() const = 0;  // path of database #2
    virtual QString Text4() const = 0;  // password of database #2
};

}  // namespace db
