#include "app/cli/CliMain.h"

#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "app/cli/Options.h"
#include "app/cli/Text.h"
#include "platform/Environment.h"
#include "platform/Terminal.h"
#include "platform/TraceSink.h"

namespace cli {

namespace {
// A finite number of seconds, 0 or more, in decimal.
bool WaitSeconds(const std::string& text, double& seconds) {
    if (text.empty() || text.find_first_not_of("0123456789.eE+-") != std::string::npos)
        return false;
    char* end = nullptr;
    seconds = std::strtod(text.c_str(), &end);
    return *end == '\0' && std::isfinite(seconds) && seconds >= 0;
}
} // namespace

int Main(int argc, char** argv) {
    CLI::App app("Writes firmware into CoaXPress cameras through a GenTL producer. Without "
                 "arguments the tool runs interactively.",
                 "cxp-fwupdate");
    // A firmware path such as /fw/x.bin must not read as an option on Windows.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", ToolBanner());
    app.require_subcommand(1);

    // The command line keeps a trace only where it is told to.
    std::string trace;
    if (!platform::ReadEnvironment("CXP_FWUPDATE_TRACE", trace))
        trace.clear();
    const char* traceHelp = "Where the trace of every producer call goes: a file, - (standard "
                            "error) or syslog (default: CXP_FWUPDATE_TRACE, else no trace)";

    ListOptions list;
    CLI::App* listCommand = app.add_subcommand("list", "List the cameras of the producers");
    listCommand->add_option("--producer", list.producer,
                            "A .cti file, or text in the file name of one discovered producer");
    listCommand->add_flag("--json", list.json, "One JSON document on standard output");
    listCommand->add_option("--trace", trace, traceHelp);

    UpdateOptions update;
    CLI::App* updateCommand =
        app.add_subcommand("update", "Write a firmware file into the selected cameras");
    updateCommand->add_option("FIRMWARE_FILE", update.firmwareFile, "The firmware image")
        ->required();
    updateCommand->add_option("--producer", update.producer,
                              "A .cti file, or text in the file name of one discovered producer");
    // One value per --camera, so that a file name after it stays the positional.
    CLI::Option* camera =
        updateCommand
            ->add_option("--camera", update.cameras,
                         "Serial number, user ID or device ID of a camera (repeatable)")
            ->allow_extra_args(false);
    CLI::Option* all = updateCommand->add_flag(
        "--all", update.all, "Every camera whose model the firmware file name holds");
    camera->excludes(all);
    updateCommand->add_flag("--dry-run", update.dryRun,
                            "Check everything and print the plan; write nothing");
    // Read as text: CLI11 would take nan and inf for numbers.
    std::string waitTimeout = "900";
    updateCommand
        ->add_option("--wait-timeout", waitTimeout,
                     "Longest wait in seconds for a camera after the flash command (0: no limit)")
        ->capture_default_str();
    updateCommand->add_option("--report", update.reportFile,
                              "Append one JSON record per camera to this file");
    updateCommand->add_flag("--skip-current", update.skipCurrent,
                            "Leave out every camera that the --report file shows updated with "
                            "this image and whose device version shows it");
    updateCommand->add_flag("--json", update.json, "JSON events on standard output, one a line");
    updateCommand->add_option("--trace", trace, traceHelp);
    updateCommand->add_option("--jobs", update.jobs, "Cameras updated at once (default: all)")
        ->check(CLI::PositiveNumber);
    updateCommand
        ->add_option("--expect", update.expect,
                     "Write nothing unless exactly this many cameras are selected")
        ->check(CLI::PositiveNumber);

    auto usageError = [](const std::string& message) {
        std::cout.flush();
        std::cerr << "cxp-fwupdate: " << message << "\n"
                  << "Run 'cxp-fwupdate --help' for the commands and options.\n";
        return kExitRefused;
    };
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& done) {
        return app.exit(done); // --help and --version, on standard output
    } catch (const CLI::ParseError& error) {
        return usageError(error.what());
    }
    if (updateCommand->parsed() && !WaitSeconds(waitTimeout, update.waitTimeoutSeconds))
        return usageError("--wait-timeout: expected a number of seconds (0: no limit), got '" +
                          Printable(waitTimeout) + "'");
    if (update.skipCurrent && update.reportFile.empty())
        return usageError("--skip-current needs --report FILE: the report tells which cameras "
                          "already have the image");
    std::string traceError;
    if (!platform::SetTraceDestination(trace, traceError)) {
        std::cerr << "cxp-fwupdate: cannot open the trace file " << Printable(trace) << ": "
                  << traceError << "\n";
        return kExitRefused;
    }
    // JSON lines end in "\n" on every system, as in the report file.
    if (list.json || update.json)
        platform::UseBinaryOutput();
    if (listCommand->parsed())
        return RunList(list);
    return RunUpdate(update);
}

} // namespace cli
