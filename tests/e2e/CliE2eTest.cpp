#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>

#include "platform/PathRules.h"
#include "tests/e2e/E2eSupport.h"

namespace {
using namespace e2e;
using Lines = std::vector<std::string>;

const std::string kFile = "TQ-12M-CXP_v3.bin";
const std::string kContent = "abcd";

// cam0 and cam1 take the file; cam2 is another model; cam3 answers 0x0000 like no CoaXPress
// device; cam1 and cam2 share a user ID.
const std::string kCameras = "[camera cam0]\nserial = SN-A\nuser_id = line-1\n"
                             "device_version_after_update = 2.0.0\n"
                             "[camera cam1]\nserial = SN-B\nuser_id = line-2\n"
                             "[camera cam2]\nserial = SN-C\nuser_id = line-2\nmodel = TQ-5M-CXP\n"
                             "[camera cam3]\nserial = SN-D\nstandard = 0x12345678\n";

// Three cameras that take kFile, behind two interfaces.
const std::string kThree = "[interface CXP-IF0]\ndevices = cam0, cam1\n[interface CXP-IF1]\n"
                           "devices = cam2\n[camera cam0]\nserial = TQ12M0001\n[camera cam1]\n"
                           "serial = TQ12M0002\n[camera cam2]\nserial = TQ12M0004\n";

struct Cli {
    Lines arguments;
    std::string simConfig = kCameras;
    std::string content = kContent; // of the file in the working directory
    std::string genTLPath = "";     // default: the simulator's folder
    std::string closeOutputOn = ""; // see ToolRun::closeOutputOnOutput
    uint64_t sparseSize = 0;        // the file made this large and left unread
    std::vector<runner::Interrupt> interrupts = {};
    std::string file = kFile;
};

ToolResult RunCli(const std::string& test, const Cli& cli) {
    ToolRun run = RunInScratch("cli-" + test, cli.file, cli.content, "", cli.simConfig);
    const std::filesystem::path file = std::filesystem::path(run.workingDirectory) / cli.file;
    if (cli.sparseSize > 0)
        std::filesystem::resize_file(file, cli.sparseSize);
    run.arguments = cli.arguments;
    run.genTLPath = cli.genTLPath;
    run.closeOutputOnOutput = cli.closeOutputOn;
    run.interrupts = cli.interrupts;
    const ToolResult r = RunTool(run);
    if (cli.sparseSize > 0)
        std::filesystem::remove(file);
    return r;
}

// Every device opened is closed; the system and the library only when they were opened.
void ExpectClosedAsOpened(const ToolResult& r) {
    const std::string w = "TQGenTLWrapper::";
    EXPECT_EQ(Count(r.trace, w + "DevClose hDevice"), Count(r.trace, w + "IFOpenDevice hIface"));
    EXPECT_EQ(Contains(r.trace, w + "TLClose"), Contains(r.trace, w + "TLOpen hTL"));
    EXPECT_EQ(Contains(r.trace, w + "GCCloseLib"), Contains(r.trace, w + "GCInitLib Successful"));
}

size_t Writes(const ToolResult& r) {
    return Count(r.traffic, " W ");
}

// The whole update of "abcd" as the camera sees it; its CRC-32 worked out elsewhere.
const Lines kUpload = {"W 0x0000AB00 4 0 00005B17", "W 0x0000AB04 4 0 00000000",
                       "W 0x0000AB08 4 0 00000004", "W 0x70000000 4 0 61626364",
                       "W 0x0000AB0C 4 0 ED82CD11", "W 0x0000AB10 4 0 00000001",
                       "R 0x0000AB0C 4 0 ED82CD11", "W 0x0000B0E8 4 0 0000D2C4"};
} // namespace

TEST(CliE2e, ListShowsEveryCameraAsTextAndAsJson) {
    const std::string config = kCameras + "device_version_read_fails = yes\n";
    ToolResult text = RunCli("list-text", {{"list"}, config});
    EXPECT_EQ(text.status, 0) << text.errors;
    const Lines rows = SplitLines(text.console);
    ASSERT_EQ(rows.size(), 6u) << text.console;
    EXPECT_EQ(rows[0], "producer " + SimPath());
    auto spaced = [&rows](size_t k) { return std::regex_replace(rows[k], std::regex(" +"), " "); };
    EXPECT_EQ(spaced(1), " INTERFACE DEVICE VENDOR MODEL MANUFACTURER INFO DEVICE VERSION SERIAL "
                         "NUMBER USER ID COAXPRESS");
    EXPECT_EQ(spaced(2), " CXP-IF0 CXP-DEV0 Tevrak Imaging TQ-12M-CXP TQ-12M-CXP rev.B 12MP "
                         "CoaXPress 1.0.0 SN-A line-1 yes");
    EXPECT_EQ(rows[2].find("SN-A"), rows[1].find("SERIAL NUMBER")); // aligned
    EXPECT_EQ(spaced(5), " CXP-IF0 CXP-DEV-cam3 Tevrak Imaging TQ-12M-CXP TQ-12M-CXP rev.B 12MP "
                         "CoaXPress (unreadable) SN-D - no");

    ToolResult json = RunCli("list-json", {{"list", "--json"}, config});
    EXPECT_EQ(json.status, 0) << json.errors;
    const std::vector<Json> documents = JsonLines(json.console);
    ASSERT_EQ(documents.size(), 1u) << json.console;
    EXPECT_EQ(documents[0]["tool"], "cxp-fwupdate");
    EXPECT_EQ(documents[0]["version"], "1.0.0.546");
    ASSERT_EQ(documents[0]["producers"].size(), 1u);
    const Json& producer = documents[0]["producers"][0];
    EXPECT_EQ(producer["path"], SimPath());
    EXPECT_TRUE(producer["error"].is_null());
    ASSERT_EQ(producer["cameras"].size(), 4u);
    EXPECT_EQ(producer["cameras"][0],
              Json::parse(R"({"interface_id": "CXP-IF0", "device_id": "CXP-DEV0",
                  "vendor": "Tevrak Imaging", "model": "TQ-12M-CXP",
                  "manufacturer_info": "TQ-12M-CXP rev.B 12MP CoaXPress",
                  "device_version": "1.0.0", "serial_number": "SN-A", "user_id": "line-1",
                  "coaxpress": true, "unreadable": []})"));
    const Json& other = producer["cameras"][3];
    EXPECT_EQ(other["device_version"], "");
    EXPECT_EQ(other["coaxpress"], false);
    EXPECT_EQ(other["unreadable"], Json::array({"device_version"}));
    EXPECT_EQ(json.errors, ""); // the document says it all
    // The table cannot be written: a pipe closed after the first line (SIGPIPE as from a shell).
    const Cli cut = {{"list"}, "[delay]\nGCInitLib = 500\n" + config, kContent, "", "producer "};
    EXPECT_EQ(RunCli("list-cut", cut).status, 1);

    // A producer that cannot be used is listed with its error, and nothing else could be.
    const std::string lacking =
        LackingSimDirectory() + platform::kDirSeparator + "cxp-sim-lacking.cti";
    ToolResult failed = RunCli("list-lacking", {{"list", "--json", "--producer", lacking}});
    EXPECT_EQ(failed.status, 2);
    ASSERT_EQ(JsonLines(failed.console).size(), 1u) << failed.console;
    const Json refused = JsonLines(failed.console)[0]["producers"][0];
    EXPECT_EQ(refused["path"], lacking);
    EXPECT_TRUE(Contains(refused["error"].get<std::string>(), "DevClose"));
    EXPECT_EQ(refused["cameras"], Json::array());
}

// Every interface or device that could not be listed is a problem, named with the call and
// the producer's error.
TEST(CliE2e, ListSaysWhatCouldNotBeListedOrStarted) {
    struct Case {
        std::string fault; // "Function = k", failing with GC_ERR_IO
        size_t cameras;
        Json interfaceId, deviceId;
        std::string problem; // what failed
    };
    const std::string notStarted = "producer " + SimPath() + " could not be started";
    const Case cases[] = {
        {"", 3, nullptr, nullptr, ""},
        // Told apart by the IDs the interface listed.
        {"DevGetInfo = always", 3, nullptr, nullptr, ""},
        {"TLGetInterfaceID = 1", 1, nullptr, nullptr,
         "the interface at index 0 could not be identified"},
        {"TLOpenInterface = 2", 2, "CXP-IF1", nullptr, "interface CXP-IF1 could not be opened"},
        {"IFUpdateDeviceList = 2", 2, "CXP-IF1", nullptr,
         "the devices of interface CXP-IF1 could not be listed"},
        {"IFGetNumDevices = 1", 1, "CXP-IF0", nullptr,
         "the devices of interface CXP-IF0 could not be listed"},
        {"IFGetDeviceID = 1", 2, "CXP-IF0", nullptr,
         "the device at index 0 on CXP-IF0 could not be identified"},
        {"IFOpenDevice = 2", 2, "CXP-IF0", "cam1", "device cam1 on CXP-IF0 could not be opened"},
        {"DevGetPort = 2", 2, "CXP-IF0", "cam1",
         "device cam1 on CXP-IF0 could not reach its camera"},
        {"GCInitLib = 1", 0, nullptr, nullptr, notStarted},
        {"TLOpen = 1", 0, nullptr, nullptr, notStarted},
        {"TLUpdateInterfaceList = 1", 0, nullptr, nullptr, notStarted},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        const std::string config =
            kThree + (c.fault.empty() ? "" : "[fault]\n" + c.fault + " GC_ERR_IO\n");
        ToolResult r = RunCli("list-" + std::to_string(&c - cases), {{"list", "--json"}, config});
        const std::string said = c.problem.empty()
                                     ? ""
                                     : c.problem + ": " + c.fault.substr(0, c.fault.find(' ')) +
                                           " returned -1010 (GC_ERR_IO)";
        const bool started = c.problem != notStarted;
        EXPECT_EQ(r.status, !started ? 2 : said.empty() ? 0 : 1) << r.errors;
        const std::vector<Json> documents = JsonLines(r.console);
        ASSERT_EQ(documents.size(), 1u) << r.console;
        const Json& producer = documents[0]["producers"][0];
        EXPECT_EQ(producer["cameras"].size(), c.cameras);
        EXPECT_EQ(producer["error"], started ? Json() : Json(said));
        EXPECT_EQ(producer["problems"], !started || said.empty()
                                            ? Json::array()
                                            : Json::array({{{"interface_id", c.interfaceId},
                                                            {"device_id", c.deviceId},
                                                            {"reason", said}}}));
        EXPECT_EQ(Contains(r.errors, "error: " + said + "\n"), !said.empty()) << r.errors;
        EXPECT_EQ(Contains(r.trace, "IFOpenDevice Failed"), Contains(c.fault, "IFOpenDevice"));
        ExpectClosedAsOpened(r);
    }

    // Two producers that leave a thread running after GCCloseLib: the first one's runs while
    // the second lists its cameras over a slow link. Beside them, a folder is no producer. The
    // trace goes where --trace says, not to CXP_FWUPDATE_TRACE.
    ScratchDir copy("cli-linger-copy");
    std::filesystem::copy_file(SimPath(), copy.File("copy.cti"));
    copy.MakeSubdir("X.cti.p");
    const std::string slow = "[library]\nlinger_thread = yes\n[link]\nlatency_us = 5000\n";
    const std::string path = SimDirectory() + platform::kPathListSeparator + copy.Path();
    ToolResult r = RunCli(
        "linger", {{"list", "--trace", copy.File("chosen.log")}, kThree + slow, kContent, path});
    EXPECT_EQ(r.status, 0) << r.errors;
    EXPECT_EQ(Count(r.console, "TQ12M0004"), 2u) << r.console;
    EXPECT_FALSE(Contains(r.console + r.errors, "X.cti.p"));
    EXPECT_EQ(r.trace, "");
    EXPECT_TRUE(Contains(ReadFile(copy.File("chosen.log")), "GCInitLib Successful!"));
}

// Under --all each camera is updated once, however many devices reach it, and one the producer
// could not list makes the run incomplete. --expect: exactly that many selected.
TEST(CliE2e, AllUpdatesEachCameraOnceAndMissesNoneWithoutAWord) {
    struct Case {
        std::string config, expect;
        size_t updated, problems;
        int status;
        std::string message; // on standard error
    };
    const Case cases[] = {
        // One camera behind two devices whose producer serials differ.
        {"[interface CXP-IF0]\ndevices = DEV-A, DEV-B\n[device DEV-A]\ncamera = cam0\nserial = "
         "P-1\n[device DEV-B]\ncamera = cam0\nserial = P-2\n",
         "1", 1, 0, 0, ""},
        {kThree + "[fault]\nIFOpenDevice = 2 GC_ERR_ACCESS_DENIED\n", "2", 2, 1, 1,
         "device cam1 on CXP-IF0 could not be opened: IFOpenDevice returned -1005 "
         "(GC_ERR_ACCESS_DENIED)"},
        {kThree, "4", 0, 0, 2, "expected 4 cameras, found 3: TQ12M0001, TQ12M0002, TQ12M0004"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        ToolResult r =
            RunCli("all-" + c.expect,
                   {{"update", kFile, "--all", "--json", "--expect", c.expect}, c.config});
        EXPECT_EQ(r.status, c.status) << r.errors;
        EXPECT_EQ(Count(r.errors, "error: " + c.message), c.message.empty() ? 0u : 1u) << r.errors;
        const std::vector<Json> events = JsonLines(r.console);
        const std::vector<Json> problems = Events(events, "problem");
        ASSERT_EQ(problems.size(), c.problems) << r.console;
        for (const Json& problem : problems)
            EXPECT_EQ(problem, Json::parse(R"({"event": "problem", "interface_id": "CXP-IF0",
                "device_id": "cam1", "reason": ")" +
                                           c.message + "\"}"));
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back()["updated"], c.updated);
        EXPECT_EQ(events.back()["exit_status"], c.status);
        // One update per camera, and nothing else written.
        EXPECT_EQ(Writes(r), c.updated * (kUpload.size() - 1));
        ExpectClosedAsOpened(r);
    }
}

TEST(CliE2e, UpdateNamesOneCameraBySerialNumberUserIdOrDeviceId) {
    struct Case {
        std::string name;
        std::string camera;
        std::string config = kCameras;
    };
    // DevGetInfo names DEV-LISTED otherwise once it is open.
    const std::string renamed = kCameras + "[interface CXP-IF0]\ndevices = CXP-DEV0, DEV-LISTED\n"
                                           "[device CXP-DEV0]\ncamera = cam0\n[device DEV-LISTED]\n"
                                           "camera = cam1\nopened_id = DEV-OPENED\n";
    for (const Case& c : {Case{"SN-B", "cam1"}, Case{"line-1", "cam0"},
                          Case{"CXP-DEV-cam1", "cam1"}, Case{"DEV-LISTED", "cam1", renamed}}) {
        SCOPED_TRACE(c.name);
        ToolResult r =
            RunCli("by-" + c.name, {{"update", kFile, "--camera", c.name, "--json"}, c.config});
        EXPECT_EQ(r.status, 0) << r.errors;
        const std::vector<Json> events = JsonLines(r.console);
        const std::vector<Json> results = Events(events, "result");
        ASSERT_EQ(results.size(), 1u) << r.console;
        EXPECT_EQ(results[0]["result"], "updated");
        EXPECT_EQ(UpdateTraffic(r, c.camera), kUpload);
        EXPECT_EQ(Writes(r), kUpload.size() - 1) << r.traffic; // no other camera touched
        Lines phases;
        for (const Json& event : Events(events, "phase"))
            phases.push_back(event["phase"]);
        EXPECT_EQ(phases, Lines({"header", "data", "flash", "waiting", "done"}));
    }
}

TEST(CliE2e, RefusalsWriteNothingAndExitWithTwo) {
    const std::string both = SimDirectory() + platform::kPathListSeparator + LackingSimDirectory();
    struct Case {
        std::string test, message;
        Cli cli;
    };
    const std::vector<Case> cases = {
        {"ambiguous", "names several cameras", {{"update", kFile, "--camera", "line-2"}}},
        {"unknown", "--camera SN-X names no camera", {{"update", kFile, "--camera", "SN-X"}}},
        {"no-selection", "several cameras found", {{"update", kFile}}},
        {"not-coaxpress",
         "camera SN-D: not a CoaXPress device",
         {{"update", kFile, "--camera", "SN-A", "--camera", "SN-D"}}},
        {"other-model", "does not hold the model", {{"update", kFile, "--camera", "SN-C"}}},
        {"empty-model",
         "camera C: model register is empty",
         {{"update", kFile, "--camera", "C"}, "[camera c]\nserial = C\nmodel =\n"}},
        // From here on refused before any producer is loaded.
        {"missing", "not found", {{"update", "TQ-12M-CXP_none.bin", "--camera", "SN-A"}}},
        {"empty", "is empty", {{"update", kFile, "--camera", "SN-A"}, kCameras, ""}},
        {"producers", "several producers", {{"update", kFile}, kCameras, kContent, both}},
        {"trace",
         "cannot open the trace file " + kFile + "/x.log",
         {{"list", "--trace", kFile + "/x.log"}}},
        // By its size alone: a sparse file of 2 GiB is never read.
        {"large",
         "too large",
         {{"update", kFile, "--camera", "SN-A", "--json"}, kCameras, "", "", "", 0x80000000ull}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.test);
        ToolResult r = RunCli("refused-" + c.test, c.cli);
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(Contains(r.errors, c.message)) << r.errors;
        EXPECT_EQ(Writes(r), 0u) << r.traffic;
        if (&c - cases.data() >= 6) {
            EXPECT_EQ(r.traffic, "");
            EXPECT_FALSE(Contains(r.trace, "GCInitLib")); // no producer loaded
        }
        if (c.cli.sparseSize > 0) { // with --json the summary alone
            const std::vector<Json> events = JsonLines(r.console);
            ASSERT_EQ(events.size(), 1u) << r.console;
            EXPECT_EQ(events[0]["exit_status"], 2);
        }
    }
}

// A usage error is one sentence on standard error, said before any producer is loaded.
TEST(CliE2e, UsageErrorsAreOneLineAndTouchNoProducer) {
    const std::string number = "expected a whole number of at least 1, got '0'";
    std::vector<std::pair<Lines, std::string>> cases = {
        {{"lst"}, "unknown command 'lst' (commands: list, update)"},
        {{"update", kFile, "--jobs", "0"}, "--jobs: " + number},
        {{"update", kFile, "--expect", "0"}, "--expect: " + number},
        {{"update", kFile, "--heartbeat", "-1"},
         "--heartbeat: expected a number of seconds (0: no heartbeat), got '-1'"},
        {{"list", "--all"}, "unknown option '--all'"},
        {{"update", "--camera", "SN-A"}, "update needs FIRMWARE_FILE, the firmware file to write"},
        {{"update", kFile, "--camera", "SN-A", "--all"},
         "--camera and --all cannot be used together"},
        {{"update", kFile, "--skip-current"},
         "--skip-current needs --report FILE, the report "
         "that tells which cameras already have the image"},
    };
    for (const std::string wait : {"abc", "nan", "inf", "-1", "1s"})
        cases.push_back(
            {{"update", kFile, "--wait-timeout", wait},
             "--wait-timeout: expected a number of seconds (0: no limit), got '" + wait + "'"});
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto& [arguments, message] = cases[i];
        SCOPED_TRACE(message);
        const ToolResult r = RunCli("usage-" + std::to_string(i), {arguments});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.errors, "cxp-fwupdate: " + message + "\n");
        EXPECT_EQ(r.console + r.traffic + r.trace, ""); // no producer loaded
    }
    const ToolResult version = RunCli("version", {{"--version"}});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.console + version.errors, "cxp-fwupdate 1.0.0.546\n");
    // Help in plain words, with what the tool needs and what its statuses mean.
    for (const Lines& help : {Lines{"--help"}, Lines{"list", "--help"}, Lines{"update", "-h"}}) {
        const ToolResult r = RunCli("help-" + help[0], {help});
        EXPECT_EQ(r.status, 0);
        EXPECT_FALSE(std::regex_search(r.console, std::regex("TEXT|INT|FLOAT|Excludes|REQUIRED")))
            << r.console;
        for (const char* part : {"\nEnvironment:\n  GENICAM_GENTL64_PATH ", "\nExit status:\n  0 ",
                                 "\n  2    Usage error", "\nExamples:\n"})
            EXPECT_TRUE(Contains(r.console, part)) << part;
    }
}

// A model fits a file name only as a whole name; a camera with an empty model fits nothing. A
// dry run shows its plan and writes nothing; the hash is of the file, not of the padded image.
TEST(CliE2e, AllSelectsTheCamerasWhoseModelIsAWholeNameOfTheFile) {
    const std::string config = "[camera a]\nserial = A\n[camera b]\nserial = B\nmodel = TQ-12M\n"
                               "[camera c]\nserial = C\nmodel =\n";
    const std::pair<std::string, std::string> cases[] = {
        {"TQ-12M-CXP_v2.1.0.bin", "A"}, {"TQ-12M-CXP.bin", "A"},    {"fw_TQ-12M-CXP_2.bin", "A"},
        {"TQ-12M-CXP.v2.bin", "A"},     {"TQ-12M_v1.bin", "B"},     {"TQ-12M-CXP-HS_v3.0.bin", ""},
        {"XTQ-12M-CXP_v2.bin", ""},     {"TQ-12M-CXP2_v1.bin", ""}, {"tq-12m-cxp_v2.bin", ""}};
    for (const auto& [file, fits] : cases) {
        SCOPED_TRACE(file);
        const Lines arguments = {"update", file, "--all", "--dry-run", "--json"};
        const ToolResult r =
            RunCli("whole-" + file, {arguments, config, "abc", "", "", 0, {}, file});
        std::string ready;
        for (const Json& result : Events(JsonLines(r.console), "result")) {
            EXPECT_EQ(result["sha256"],
                      "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
            if (result["result"] == "dry-run")
                ready += result["serial_number"].get<std::string>();
            else
                EXPECT_EQ(result["reason"], "model register is empty");
        }
        EXPECT_EQ(ready, fits);
        EXPECT_EQ(r.status, 1) << r.errors; // the empty model is refused
        EXPECT_EQ(Writes(r), 0u) << r.traffic;
        EXPECT_TRUE(Contains(r.errors, "\n  A  TQ-12M-CXP  CXP-DEV-a on CXP-IF0  ")) << r.errors;
    }
}

// --all: cam0 and cam1 updated side by side, cam2 (another model) skipped, cam3 refused; the
// report holds one record per attempt, each line whole.
TEST(CliE2e, AllUpdatesMatchingCamerasAndKeepsAReport) {
    ToolRun run = RunInScratch("cli-all", kFile, kContent, "", kCameras);
    WriteFile(run.workingDirectory + "/report.jsonl", "{\"earlier\": true}\n"); // kept
    run.arguments = {"update", kFile, "--all", "--json", "--report", "report.jsonl"};
    ToolResult r = RunTool(run);
    EXPECT_EQ(r.status, 1) << r.errors; // the refused camera
    const std::vector<Json> events = JsonLines(r.console);
    const std::vector<Json> cameras = Events(events, "camera");
    ASSERT_EQ(cameras.size(), 4u) << r.console;
    EXPECT_EQ(cameras[2]["serial_number"], "SN-C");
    EXPECT_EQ(cameras[2]["selected"], false);
    EXPECT_TRUE(Contains(cameras[2].value("reason", ""), "TQ-5M-CXP"));
    EXPECT_EQ(cameras[3]["selected"], true);
    EXPECT_EQ(events.back(), Json::parse(R"({"event": "summary", "updated": 2, "failed": 0,
        "refused": 1, "timeout": 0, "interrupted": 0, "skipped": 1, "current": 0, "dry_run": 0,
        "exit_status": 1})"));
    for (const std::string camera : {"cam0", "cam1"})
        EXPECT_EQ(r.Record(camera + ".image.bin"), kContent) << camera;
    EXPECT_EQ(Writes(r), 2 * (kUpload.size() - 1)) << r.traffic; // none to cam2 and cam3

    std::vector<Json> records = JsonLines(ReadFile(r.workingDirectory + "/report.jsonl"));
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0], Json::parse("{\"earlier\": true}"));
    EXPECT_EQ(records[1]["serial_number"], "SN-D"); // refused before any upload began
    EXPECT_EQ(records[1]["result"], "refused");
    EXPECT_TRUE(Contains(records[1]["reason"], "not a CoaXPress device")) << records[1];
    Json updated = records[2]["serial_number"] == "SN-A" ? records[2] : records[3];
    const std::regex utc(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d+)?Z)");
    for (const char* key : {"time_start", "time_end"})
        EXPECT_TRUE(std::regex_match(updated[key].get<std::string>(), utc)) << updated[key];
    EXPECT_LE(updated["time_start"], updated["time_end"]);
    EXPECT_FALSE(updated["host"].get<std::string>().empty());
    EXPECT_GE(updated["upload_seconds"], 0.0);
    for (const char* key : {"time_start", "time_end", "host", "upload_seconds", "wait_seconds"})
        updated.erase(key);
    Json expected = Json::parse(R"({"tool_version": "1.0.0.546", "interface_id": "CXP-IF0",
        "device_id": "CXP-DEV0", "vendor": "Tevrak Imaging", "model": "TQ-12M-CXP",
        "manufacturer_info": "TQ-12M-CXP rev.B 12MP CoaXPress", "serial_number": "SN-A",
        "user_id": "line-1", "device_version_before": "1.0.0", "device_version_after": "2.0.0",
        "file": "TQ-12M-CXP_v3.bin", "file_size": 4, "upload_size": 4, "crc32": "ed82cd11",
        "sha256": "88d4266fd4e6338d13b845fcf289579d209c897823b9217da3e161936f031589",
        "result": "updated", "reason": "", "failed_address": null})");
    expected["producer"] = SimPath();
    EXPECT_EQ(updated, expected);
}

// --skip-current: a camera whose last record is this image, and whose version shows it, gets
// nothing; one whose version went back to the one before is flashed again.
TEST(CliE2e, SkipCurrentLeavesOutCamerasThatHaveTheImage) {
    const std::string dir = RunInScratch("cli-skip-current", kFile, kContent, "").workingDirectory;
    // The simulated cameras start afresh each run: their versions say what a flash left.
    auto cameras = [](const std::string& first, const std::string& last) {
        std::string config;
        for (const char n : std::string("0123"))
            config += std::string("[camera cam") + n + "]\nserial = SN-" + n +
                      "\ndevice_version_after_update = 2.0.0\ndevice_version = " +
                      (n == '3' ? last : first) + "\n";
        return config;
    };
    const struct {
        std::string config;
        size_t current;
        std::string warning;
    } runs[] = {{cameras("1.0.0", "1.0.0"), 0, ""},
                {cameras("2.0.0", "1.0.0"), 3, "line 5 of the report report.jsonl is not a JSON"},
                {cameras("2.0.0", "2.0.0"), 4, ""}};
    for (const auto& run : runs) {
        SCOPED_TRACE(run.current);
        ToolRun tool = RunIn(dir, "", run.config);
        tool.arguments = {"update",   kFile,          "--all",         "--json",
                          "--report", "report.jsonl", "--skip-current"};
        ToolResult r = RunTool(tool);
        EXPECT_EQ(r.status, 0) << r.errors;
        const std::vector<Json> events = JsonLines(r.console);
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back()["current"], run.current);
        EXPECT_EQ(events.back()["updated"], 4 - run.current);
        size_t left = 0;
        for (const Json& camera : Events(events, "camera"))
            left += Contains(camera.value("reason", ""), "already has this image: updated 20");
        EXPECT_EQ(left, run.current);
        EXPECT_EQ(Writes(r), (4 - run.current) * (kUpload.size() - 1)) << r.traffic;
        EXPECT_TRUE(Contains(r.errors, run.warning)) << r.errors;
        if (run.current == 0) // a line that is no record, and a dry run that wrote nothing
            WriteFile(dir + "/report.jsonl",
                      ReadFile(dir + "/report.jsonl") +
                          "{\n{\"serial_number\": \"SN-0\", \"model\": \"TQ-12M-CXP\", "
                          "\"result\": \"dry-run\"}\n");
    }
}

// Each way a camera's turn can end, and what else decides the exit status: its record, the
// summary's counts, and the camera's traffic up to the finishing register.
TEST(CliE2e, EachOutcomeHasItsStatusRecordAndSummary) {
    const std::string pattern = Pattern(1025);
    const std::string refused = "[camera cam3]\nserial = SN-D\nstandard = 0x12345678\n";
    struct Case {
        std::string test, config, content;
        std::string options; // after the file and --json; --report report.jsonl unless given
        int status;
        std::string expected, summary; // fields of cam0's record and of the summary event
        std::string message = "";      // in standard error
        std::string interruptOn = "", closeOutputOn = ""; // once standard output holds them
    };
    const Case cases[] = {
        // Writes 1 to 3 are the header; the 5th write is the second data chunk.
        {"failed-chunk", "[camera cam0]\nfail_write = 5\n", pattern, "", 1,
         R"("result": "failed", "failed_address": "0x70000400", "device_version_after": null,
            "reason": "write to the camera failed at address 0x70000400 (GC_ERR_IO, -1010); nothing flashed")",
         R"("failed": 1, "timeout": 0, "exit_status": 1)"},
        // A write the producer took only in part is a failed one.
        {"short-chunk", "[camera cam0]\nshort_write = 4\n", pattern, "", 1,
         R"("result": "failed", "reason": "write to the camera failed at address 0x70000000 (the producer took 512 of 1024 bytes); nothing flashed")",
         R"("failed": 1, "exit_status": 1)"},
        // The 2 s pause after the flash command, then one poll, whatever the timeout.
        {"timeout", "[camera cam0]\nbusy_ms = 3000\n", kContent, "--wait-timeout 0.5", 3,
         R"("result": "timeout", "failed_address": null, "device_version_after": null)",
         R"("timeout": 1, "failed": 0, "exit_status": 3)"},
        {"refused-timeout", "[camera cam0]\nbusy_ms = 3000\n" + refused, kContent,
         "--all --wait-timeout 0.5", 1, R"("result": "timeout")",
         R"("timeout": 1, "refused": 1, "exit_status": 1)"},
        // Too short to count in milliseconds, but a limit all the same.
        {"tiny-timeout", "[camera cam0]\nbusy_ms = 3000\n", kContent, "--wait-timeout 1e-300", 3,
         R"("result": "timeout")", R"("timeout": 1, "exit_status": 3)"},
        // A line a second while the camera flashes (the 2 s pause at least).
        {"heartbeat", "[camera cam0]\n", kContent, "--wait-timeout 0 --heartbeat 1", 0,
         R"("result": "updated")", R"("updated": 1, "exit_status": 0)",
         "TQ12M0001: flashing, 0:01 since the flash command (no limit)\n"},
        // An interrupt after the last camera finished changes nothing.
        {"interrupt-after", "[delay]\nDevClose = 1500\n[camera cam0]\n", kContent, "", 0,
         R"("result": "updated")", R"("updated": 1, "exit_status": 0)", "", "\"event\":\"result\""},
        {"full-report", "[camera cam0]\n", kContent, "--report /dev/full", 1,
         R"("result": "updated")", R"("updated": 1, "exit_status": 1)",
         "TQ12M0001: the record could not be written to the report file /dev/full: No space left "
         "on device\n"},
        // A slow link: the pipe closes while the image goes out.
        {"closed-output", "[link]\nns_per_byte = 150000\n[camera cam0]\n", std::string(8192, 'x'),
         "", 1, R"("result": "updated")", "", "error: standard output could not be written", "",
         "\"phase\":\"data\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.test);
        if (c.test == "full-report" && platform::kDirSeparator == '\\')
            continue; // no full device there; the same code fails on any file
        Cli cli{{"update", kFile, "--json"}, c.config, c.content, "", c.closeOutputOn};
        std::istringstream options(
            c.options + (Contains(c.options, "--report") ? "" : " --report report.jsonl"));
        for (std::string option; options >> option;)
            cli.arguments.push_back(option);
        if (!c.interruptOn.empty())
            cli.interrupts = {{c.interruptOn}};
        ToolResult r = RunCli(c.test, cli);
        EXPECT_EQ(r.status, c.status) << r.Diagnostics();
        EXPECT_TRUE(Contains(r.errors, c.message)) << r.errors;
        const std::vector<Json> events = JsonLines(r.console);
        std::vector<Json> records = JsonLines(ReadFile(r.workingDirectory + "/report.jsonl"));
        if (records.empty())
            records = Events(events, "result");
        const auto own = std::find_if(records.begin(), records.end(),
                                      [](const Json& j) { return j["device_id"] == "CXP-DEV0"; });
        ASSERT_NE(own, records.end()) << r.console;
        const Json expected = Json::parse("{" + c.expected + "}");
        for (const auto& [key, value] : expected.items())
            EXPECT_EQ((*own)[key], value) << key;
        EXPECT_EQ((*own)["reason"] != "", (*own)["result"] != "updated");
        const Json summary = Json::parse("{" + c.summary + "}");
        for (const auto& [key, value] : summary.items())
            EXPECT_EQ(events.empty() ? Json() : events.back()[key], value) << key;
        const Lines traffic = UpdateTraffic(r, "cam0");
        ASSERT_FALSE(traffic.empty());
        EXPECT_EQ(traffic.back(), "W 0x0000B0E8 4 0 0000D2C4");
        const size_t flashed = !Contains(c.test, "chunk"); // 1: flashed and polled once
        EXPECT_EQ(Count(r.traffic, "cam0 W 0x0000AB10 4 0 00000001"), flashed);
        EXPECT_EQ(Count(r.traffic, "cam0 R 0x0000AB0C "), flashed);
        EXPECT_GE((*own)["wait_seconds"], 2.0 * flashed); // the pause after the flash command
    }
}

// Up to the first write an interrupt ends the tool at once, even while a producer call hangs.
TEST(CliE2e, InterruptBeforeAnyWriteEndsAtOnce) {
    const std::pair<std::string, Lines> cases[] = {
        {"GCInitLib = 20000\n", {"update", kFile}},
        {"GCReadPort = 8000\n", {"update", kFile, "--dry-run"}}};
    for (const auto& [delay, arguments] : cases) {
        SCOPED_TRACE(delay);
        Cli cli{arguments, "[delay]\n" + delay + "[camera cam0]\n"};
        cli.interrupts = {{"", 2000}};
        ToolResult r = RunCli("hung-" + std::to_string(arguments.size()), cli);
        EXPECT_EQ(r.status, 130) << r.Diagnostics();
        EXPECT_LT(r.seconds, 5.0);
        EXPECT_EQ(r.errors, "interrupted before any camera was written\n");
        EXPECT_EQ(Writes(r), 0u);
    }
}

// Through a pipe a long update keeps talking: progress at each 10 % step, at most once a
// second but for the last, and while the camera flashes a heartbeat every --heartbeat
// seconds; as text on standard error and as events.
TEST(CliE2e, ProgressAndHeartbeatsKeepTheirPace) {
    const std::string config = "[link]\nns_per_byte = 150000\n[camera cam0]\nbusy_ms = 5000\n";
    const ToolResult r = RunCli(
        "pace",
        {{"update", kFile, "--json", "--heartbeat", "1"}, config, std::string(16 * 1024 + 8, 'x')});
    ASSERT_EQ(r.status, 0) << r.Diagnostics();
    std::string percents;
    double last = -10;
    for (const std::string& line : SplitLines(r.console)) {
        const Json event = Json::parse(line);
        if (event["event"] != "progress")
            continue;
        const size_t sent = event["bytes_sent"], total = event["bytes_total"];
        const double at = runner::FirstArrival(r.consoleChunks, line);
        if (sent < total) {
            // The chunk that reached a step, and a second after the one before.
            EXPECT_GT(sent * 10 / total, (sent - 1024) * 10 / total) << line;
            EXPECT_GT(at - last, 0.8) << line;
        }
        last = at;
        percents += "data " + std::to_string(sent * 100 / total) + " %\n";
    }
    EXPECT_TRUE(Count(percents, "\n") >= 3 && Contains(percents, "data 100 %\n")) << percents;
    std::string said;
    const std::regex data("TQ12M0001: (data \\d+ %).*\n");
    for (auto m = std::sregex_iterator(r.errors.begin(), r.errors.end(), data);
         m != std::sregex_iterator(); ++m)
        said += (*m)[1].str() + "\n";
    EXPECT_EQ(said, percents);

    std::string beats;
    const std::regex heartbeat(
        "TQ12M0001: flashing, 0:0(\\d) since the flash command \\(limit 15:00\\)\n");
    for (auto m = std::sregex_iterator(r.errors.begin(), r.errors.end(), heartbeat);
         m != std::sregex_iterator(); ++m)
        beats += (*m)[1].str();
    EXPECT_EQ(beats.substr(0, 4), "1234") << r.errors;
    std::string events; // the same as events, in whole seconds
    for (const Json& beat : Events(JsonLines(r.console), "heartbeat"))
        if (beat["serial_number"] == "TQ12M0001" && beat["device_id"] == "CXP-DEV0")
            events += std::to_string(static_cast<int>(beat["seconds"].get<double>()));
    EXPECT_EQ(events, beats);
}
