#include "operations/sync/syncstore.h"
