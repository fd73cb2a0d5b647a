#include "ui/serverdialog.h"
