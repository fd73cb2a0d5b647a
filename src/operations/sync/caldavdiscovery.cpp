#include "operations/sync/caldavdiscovery.h"
