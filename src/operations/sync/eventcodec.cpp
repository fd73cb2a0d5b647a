#include "operations/sync/eventcodec.h"
