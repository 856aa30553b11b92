#include "trainer/Window.h"
