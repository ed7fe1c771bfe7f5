#include "ado/connection.h"
#include "app/modal_boxes.h"

#include "local.h"
