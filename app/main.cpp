#include <memory>
#include <string>
#include <vector>

#include "app/ConsolePrint.h"
#include "app/UpdateApp.h"
#include "app/Version.h"
#include "app/cli/CliMain.h"
#include "platform/DynamicLibrary.h"
#include "platform/Interrupt.h"
#include "platform/Utf8.h"
#include "platform/Wait.h"

// Without arguments every choice is made at a prompt; with them, the command-line mode.
int main(int argc, char** argv) {
    platform::HardenLibrarySearch();
    platform::InstallInterruptHandlers();
    platform::IgnoreBrokenPipes();
    if (argc > 1) {
        // UTF-8 whatever the system's code page, as every text inside the tool.
        std::vector<std::string> arguments = platform::Utf8Arguments(argc, argv);
        std::vector<char*> pointers;
        for (std::string& argument : arguments)
            pointers.push_back(argument.data());
        pointers.push_back(nullptr);
        return cli::Main(static_cast<int>(arguments.size()), pointers.data());
    }
    const std::string v0 = std::to_string(kVersion[0]), v1 = std::to_string(kVersion[1]),
                      v2 = std::to_string(kVersion[2]), v3 = std::to_string(kVersion[3]);
    ConsolePrint("Tevrak CXP-Firmware Update Tool v%s.%s.%s.%s\n\n", v0.c_str(), v1.c_str(),
                 v2.c_str(), v3.c_str());

    auto app = std::make_unique<UpdateApp>();
    const int32_t result = app->Run();
    app.reset();

    // Whoever interrupted the upload wants the tool to end, not to wait for a key.
    if (result == kRunInterrupted)
        return kRunInterrupted;
    platform::WaitForKey();
    // Callers (scripts, production lines) must be able to tell a completed update apart.
    return result == 0 ? 0 : 1;
}
