#include "platform/Machine.h"
