#include "engine/error.h"
#include "engine/sql/statement.h"
