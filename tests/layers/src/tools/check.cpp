#include "program/Globals.h"
#include "trainer/Window.h"
#include "program/main.h"
