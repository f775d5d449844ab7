// A protocol file that reaches up into the engine: the layer check must refuse it.
#include "engine/CommThread.h"
