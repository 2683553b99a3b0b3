#pragma once
#include "firmware/UploadProtocol.h"

// A seam of the upload for tests: the pauses.

// The settling time after the flash command and the polling interval go through here, so tests
// can record them instead of sleeping. nullptr restores the platform's sleep.
using UploadSleepFunction = void (*)(unsigned milliseconds);
void SetUploadSleep(UploadSleepFunction sleep);
