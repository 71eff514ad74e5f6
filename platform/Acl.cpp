#include "platform/Acl.h"
