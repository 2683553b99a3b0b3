#pragma once

namespace platform {
void SleepMilliseconds(unsigned milliseconds);
// The closing "press a key" wait of a run.
void WaitForKey();
} // namespace platform
