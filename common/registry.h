// The service's registry values; the same unit as service_params.h under the name the
// service's sources use.
#pragma once
#include "service_params.h"
