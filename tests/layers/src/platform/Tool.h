#include "base/Other.h"
