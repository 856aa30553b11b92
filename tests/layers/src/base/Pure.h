#include "base/Other.h"
#include "program/Globals.h"
// #include "trainer/Window.h" in a comment is no include
#include "trainer/Window.h"
#include <vector>
