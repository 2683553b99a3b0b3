#include "discovery/ProducerManager.h"
