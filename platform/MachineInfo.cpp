#include "platform/MachineInfo.h"
