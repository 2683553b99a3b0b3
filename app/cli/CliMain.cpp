#include "app/cli/CliMain.h"

#include <CLI/CLI.hpp>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "app/cli/Options.h"
#include "app/cli/Text.h"
#include "platform/Environment.h"
#include "platform/Terminal.h"
#include "platform/TraceSink.h"
#include "platform/Utf8.h"

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

// CLI11 checks that say what was expected in the words of the usage errors.
std::function<std::string(const std::string&)> SecondsCheck(const std::string& zero) {
    return [zero](const std::string& text) {
        double seconds = 0;
        return WaitSeconds(text, seconds) ? std::string()
                                          : "expected a number of seconds (0: " + zero +
                                                "), got '" + Printable(text) + "'";
    };
}

std::string CountCheck(const std::string& text) {
    const bool digits = !text.empty() && text.size() <= 10 &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    const unsigned long long count = digits ? std::strtoull(text.c_str(), nullptr, 10) : 0;
    if (count >= 1 && count <= UINT_MAX)
        return std::string();
    return "expected a whole number of at least 1, got '" + Printable(text) + "'";
}

// Help as other command-line tools write it: a plain placeholder after each option that takes
// a value, and defaults and constraints in the descriptions, not in the argument library's
// notation.
class PlainHelp : public CLI::Formatter {
public:
    PlainHelp() {
        label("SUBCOMMAND", "COMMAND");
        column_width(28);
    }
    std::string make_option_opts(const CLI::Option* option) const override {
        if (option->get_positional() || option->get_type_size() == 0)
            return std::string();
        return " " + option->get_type_name();
    }
};

const char* const kEnvironment =
    "Environment:\n"
    "  GENICAM_GENTL64_PATH      The folders searched for GenTL producers (.cti files); not\n"
    "                            needed when --producer names a .cti file\n"
    "  CXP_FWUPDATE_TRACE        Where the trace goes without --trace: a file, - or syslog\n";

const char* const kStatus =
    "Exit status:\n"
    "  0    Every selected camera was updated and answered (--dry-run: everything is ready);\n"
    "       list: the cameras were listed\n"
    "  1    A camera failed, or was refused or missed under --all, or a record or other\n"
    "       output was not written; list: a camera may be missing\n"
    "  2    Usage error, or a check failed: nothing was written to any camera; list: no\n"
    "       producer could be found or started\n"
    "  3    Every upload was flashed, but a camera did not answer within --wait-timeout; it\n"
    "       may still be flashing: do not power it off\n"
    "  130  Interrupted\n";

const char* const kUpdateStatus =
    "Exit status:\n"
    "  0    Every selected camera was updated and answered (--dry-run: everything is ready)\n"
    "  1    A camera failed, or was refused or missed under --all, or a record or other\n"
    "       output was not written\n"
    "  2    Usage error, or a check failed: nothing was written to any camera\n"
    "  3    Every upload was flashed, but a camera did not answer within --wait-timeout; it\n"
    "       may still be flashing: do not power it off\n"
    "  130  Interrupted\n";

const char* const kListStatus =
    "Exit status:\n"
    "  0    The cameras were listed\n"
    "  1    A camera may be missing (an interface or device could not be listed), or the\n"
    "       list was not written in full\n"
    "  2    Usage error, or no producer could be found or started\n";

const char* const kListExample = "  Every camera of every producer found, as one JSON document:\n"
                                 "    cxp-fwupdate list --json > cameras.json\n";
const char* const kUpdateExample =
    "  Every camera of that model, with a record of each appended to updates.jsonl:\n"
    "    cxp-fwupdate update TQ-12M-CXP_v2.1.0.bin --all --report updates.jsonl\n";

std::string Footer(const char* status, const std::string& examples) {
    return std::string(kEnvironment) + "\n" + status + "\nExamples:\n" + examples;
}

// Everything the user typed that no option or command took.
std::vector<std::string> Unexpected(const CLI::App& app) {
    std::vector<std::string> left = app.remaining();
    for (const CLI::App* command : app.get_subcommands())
        for (const std::string& argument : command->remaining())
            left.push_back(argument);
    return left;
}

// A usage error as one plain sentence.
std::string Sentence(const CLI::App& app, const CLI::ParseError& error) {
    const std::string commands = "(commands: list, update)";
    const std::vector<std::string> left = Unexpected(app);
    if (!left.empty()) {
        const std::string& first = left.front();
        if (first.size() > 1 && first[0] == '-')
            return "unknown option '" + Printable(first) + "'";
        if (app.get_subcommands().empty())
            return "unknown command '" + Printable(first) + "' " + commands;
        return "unexpected argument '" + Printable(first) + "'";
    }
    if (app.get_subcommands().empty())
        return "a command is needed " + commands;
    std::string text = error.what();
    if (dynamic_cast<const CLI::ValidationError*>(&error))
        return text; // our own checks' words, after the option's name
    if (dynamic_cast<const CLI::ExcludesError*>(&error))
        return "--camera and --all cannot be used together";
    if (text == "FIRMWARE_FILE is required")
        return "update needs FIRMWARE_FILE, the firmware file to write";
    // An option without its value, a flag with one, and anything else the library finds.
    const size_t name = text.find("--");
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) && name != std::string::npos)
        return text.substr(name, text.find_first_of(": ", name) - name) + " needs a value";
    for (char& c : text)
        if (c == '\n')
            c = ' ';
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z' && (text.size() < 2 || text[1] > 'Z'))
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

// The `update` command's options, bound to update and trace.
void AddUpdateCommand(CLI::App& app, UpdateOptions& update, std::string& trace,
                      const char* traceHelp, const char* producerHelp) {
    CLI::App* updateCommand =
        app.add_subcommand("update", "Write a firmware file into the selected cameras");
    updateCommand->group("Commands");
    updateCommand->footer(
        Footer(kUpdateStatus, "  One camera, named by its serial number:\n"
                              "    cxp-fwupdate update TQ-12M-CXP_v2.1.0.bin --camera TQ12M0001\n" +
                                  std::string(kUpdateExample)));
    updateCommand->add_option("FIRMWARE_FILE", update.firmwareFile, "The firmware image")
        ->required();
    updateCommand->add_option("--producer", update.producer, producerHelp)->type_name("FILE");
    // One value per --camera, so that a file name after it stays the positional.
    CLI::Option* camera =
        updateCommand
            ->add_option("--camera", update.cameras,
                         "A camera's serial number, user ID or device ID (repeatable)")
            ->type_name("SERIAL")
            ->allow_extra_args(false);
    CLI::Option* all = updateCommand->add_flag(
        "--all", update.all, "Every camera whose model the firmware file name holds");
    camera->excludes(all);
    updateCommand->add_flag("--dry-run", update.dryRun,
                            "Check everything and print the plan; write nothing");
    updateCommand
        ->add_option("--wait-timeout", update.waitTimeoutSeconds,
                     "Longest wait for a camera after the flash command (default 900; 0: no "
                     "limit)")
        ->type_name("SECONDS")
        ->check(SecondsCheck("no limit")); // before CLI11 takes nan or inf for numbers
    updateCommand
        ->add_option("--heartbeat", update.heartbeatSeconds,
                     "Through a pipe, a line per flashing camera this often (default 30; 0: none)")
        ->type_name("SECONDS")
        ->check(SecondsCheck("no heartbeat"));
    updateCommand
        ->add_option("--report", update.reportFile,
                     "Append one JSON record per camera to this file")
        ->type_name("FILE");
    updateCommand->add_flag("--skip-current", update.skipCurrent,
                            "Leave out every camera that the --report file shows updated with "
                            "this image and whose device version shows it");
    updateCommand->add_flag("--json", update.json, "JSON events on standard output, one a line");
    updateCommand->add_option("--trace", trace, traceHelp)->type_name("DEST");
    updateCommand->add_option("--jobs", update.jobs, "Cameras updated at once (default: all)")
        ->type_name("N")
        ->check(CountCheck);
    updateCommand
        ->add_option("--expect", update.expect,
                     "Write nothing unless exactly this many cameras are selected")
        ->type_name("N")
        ->check(CountCheck);
}
} // namespace

int Main(int argc, char** argv) {
    CLI::App app("Writes firmware into CoaXPress cameras through a GenTL producer.\nWithout "
                 "arguments the tool runs interactively.",
                 "cxp-fwupdate");
    app.formatter(std::make_shared<PlainHelp>());
    // A firmware path such as /fw/x.bin must not read as an option on Windows.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", "cxp-fwupdate " + ToolVersion());
    app.require_subcommand(1);
    app.footer(Footer(kStatus, kListExample + std::string(kUpdateExample)));

    // The command line keeps a trace only where it is told to.
    std::string trace;
    if (!platform::ReadEnvironment("CXP_FWUPDATE_TRACE", trace))
        trace.clear();
    const char* traceHelp = "Trace every producer call to a file, - (standard error) or syslog";
    const char* producerHelp = "A .cti file, or text in the file name of one discovered producer";

    ListOptions list;
    CLI::App* listCommand = app.add_subcommand("list", "List the cameras of the producers");
    listCommand->group("Commands");
    listCommand->footer(
        Footer(kListStatus, kListExample + std::string("  Every camera as a table:\n"
                                                       "    cxp-fwupdate list\n")));
    listCommand->add_option("--producer", list.producer, producerHelp)->type_name("FILE");
    listCommand->add_flag("--json", list.json,
                          "One JSON document on standard output; standard error only for errors");
    listCommand->add_option("--trace", trace, traceHelp)->type_name("DEST");

    UpdateOptions update;
    AddUpdateCommand(app, update, trace, traceHelp, producerHelp);

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& done) {
        return app.exit(done); // --help and --version, on standard output
    } catch (const CLI::ParseError& error) {
        std::cout.flush();
        std::cerr << "cxp-fwupdate: " << Sentence(app, error) << "\n";
        return kExitRefused;
    }
    if (update.skipCurrent && update.reportFile.empty()) {
        std::cerr << "cxp-fwupdate: --skip-current needs --report FILE, the report that tells "
                     "which cameras already have the image\n";
        return kExitRefused;
    }
    std::string traceError;
    if (!platform::SetTraceDestination(trace, traceError)) {
        platform::WriteConsoleText(stderr, "cxp-fwupdate: cannot open the trace file " +
                                               Printable(trace) + ": " + traceError + "\n");
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
