#include "platform/Processes.h"
