#include "platform/Shell.h"
