#include "operations/sync/caldavclient.h"
