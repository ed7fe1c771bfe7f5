#include "ado/connection.h"
#include "db/connections.h"
