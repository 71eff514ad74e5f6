#include "platform/TextCodec.h"
