#include "platform/UserInterface.h"
