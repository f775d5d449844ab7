// Lower layers are fine to include.
#include "modbus/RegisterKind.h"
