#include "app.h"

ControlApp g_app;
