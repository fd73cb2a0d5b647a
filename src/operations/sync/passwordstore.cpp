#include "operations/sync/passwordstore.h"
