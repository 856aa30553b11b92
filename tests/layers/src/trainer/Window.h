#include "../update/Step.h"
#include "platform/Tool.h"
#include "Window2.h"
