#include "platform/TraceSink.h"
