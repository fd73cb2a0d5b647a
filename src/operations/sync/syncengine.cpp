#include "operations/sync/syncengine.h"
