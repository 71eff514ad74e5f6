#include "platform/Shortcut.h"
