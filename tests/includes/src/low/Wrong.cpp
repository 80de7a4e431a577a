// Reaches up: the check must refuse it.
#include "low/Base.h"
#include "high/Top.h"
