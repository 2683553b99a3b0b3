#include <cstdio>
#include <windows.h>

#include "platform/Interrupt.h"

// Started by the interrupt test in a console of its own, where Ctrl-C can be raised: twice while
// armed (only counted; the count goes to the file named by the argument), then once unarmed.
int main(int, char** argv) {
    platform::InstallInterruptHandlers();
    {
        platform::InterruptDeferral outer, inner;
        GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
        GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
        for (int i = 0; i < 500 && platform::InterruptCount() < 2; ++i)
            Sleep(10); // the handler runs on a thread of its own
        if (FILE* file = std::fopen(argv[1], "w")) {
            std::fprintf(file, "counted %d\n", platform::InterruptCount());
            std::fclose(file);
        }
    }
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    Sleep(5000);
    return 3; // should have ended by now
}
