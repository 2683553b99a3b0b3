#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

#include "tests/e2e/E2eSupport.h"

// Four cameras updated side by side by one run of the command line.
namespace {
using namespace e2e;
using Lines = std::vector<std::string>;

const std::string kFile = "TQ-12M-CXP_v4.bin";
const Lines kCameras = {"cam1", "cam2", "cam3", "cam4"}; // serial numbers SN-1 to SN-4
// About 150 ms per 1 KiB write but well under a millisecond per register: the data phase is
// what takes the time.
const std::string kSlowLink = "[link]\nns_per_byte = 150000\n";
const size_t kImageSize = 16 * 1024 + 8; // and so a short last chunk
const std::string kUpdated = "magic param size data checksum flash poll finish";

// The four cameras behind one link, cam1 with further settings.
std::string Config(const std::string& link, const std::string& cam1 = "") {
    std::string config = link;
    for (size_t i = 0; i < kCameras.size(); ++i)
        config += "[camera " + kCameras[i] + "]\nserial = SN-" + std::to_string(i + 1) + "\n" +
                  (i == 0 ? cam1 : "");
    return config;
}

ToolRun Update(const std::string& test, const std::string& config, const Lines& options) {
    ToolRun run = RunInScratch("parallel-" + test, kFile, Pattern(kImageSize), "", config);
    run.arguments = {"update", kFile};
    run.arguments.insert(run.arguments.end(), options.begin(), options.end());
    return run;
}

// A camera's update traffic in words, repeats folded ("magic param size data ... finish"); "!":
// it failed.
std::string Shape(const ToolResult& r, const std::string& camera) {
    const std::map<std::string, std::string> words = {
        {"W0x0000AB00", "magic"},    {"W0x0000AB04", "param"}, {"W0x0000AB08", "size"},
        {"W0x0000AB0C", "checksum"}, {"W0x0000AB10", "flash"}, {"R0x0000AB0C", "poll"},
        {"W0x0000B0E8", "finish"}};
    std::string shape, last;
    for (const std::string& line : UpdateTraffic(r, camera)) {
        std::istringstream fields(line);
        std::string kind, address, size, status;
        fields >> kind >> address >> size >> status;
        const auto known = words.find(kind + address);
        std::string word = address.rfind("0x7", 0) == 0 ? "data"
                           : known != words.end()       ? known->second
                                                        : kind + address;
        word += status == "0" ? "" : "!";
        if (word != last)
            shape += (shape.empty() ? "" : " ") + word;
        last = word;
    }
    return shape;
}
} // namespace

// Each camera alone, then the four at once: each gets exactly its update, the trace keeps its
// lines whole, and together they take about the time of one.
TEST(ParallelE2e, FourCamerasAtOnceTakeAboutTheTimeOfOne) {
    const std::string image = Pattern(kImageSize);
    double oneByOne = 0;
    for (size_t selected = 0; selected <= kCameras.size(); ++selected) {
        const bool all = selected == kCameras.size();
        SCOPED_TRACE(all ? "all" : kCameras[selected]);
        const ToolRun run =
            Update("timed-" + std::to_string(selected), Config(kSlowLink),
                   all ? Lines{"--all"} : Lines{"--camera", "SN-" + std::to_string(selected + 1)});
        const ToolResult r = RunTool(run);
        ASSERT_EQ(r.status, 0) << r.Diagnostics(); // every selected camera updated
        for (size_t i = 0; i < kCameras.size(); ++i) {
            const bool updated = all || i == selected;
            EXPECT_EQ(Shape(r, kCameras[i]), updated ? kUpdated : "") << kCameras[i];
            EXPECT_EQ(r.Record(kCameras[i] + ".image.bin"), updated ? image : "") << kCameras[i];
            EXPECT_EQ(Contains(r.Record(kCameras[i] + ".result.txt"), "result = accepted"),
                      updated);
        }
        oneByOne += all ? 0 : r.seconds;
        if (!all)
            continue;
        // Whole lines only, though four threads trace at once.
        const std::regex portCall(
            R"(TQGenTLWrapper::GC(Read|Write)Port( Failed!)? hPort:0x[0-9A-F]{16} Address:0x\w+)");
        for (const std::string& line : r.traceLines)
            EXPECT_TRUE(!Contains(line, "Port hPort:") || std::regex_match(line, portCall)) << line;
        // A coarse bound: one after another they would take the sum.
        EXPECT_LT(r.seconds, 0.6 * oneByOne) << r.seconds << " s against " << oneByOne << " s";
    }
}

// A failed write ends only its own camera's upload; an interrupt stops every camera not yet
// flashing, lets the flashing one be waited for, and a second one stops that wait.
TEST(ParallelE2e, EachCameraHasItsOwnOutcome) {
    const Lines messages = {
        "interrupted: no camera gets its flash command any more; the ones still sending stop "
        "after the write in progress",
        "waiting up to 900.0 s for the cameras already flashing: SN-1 (interrupt again to stop "
        "waiting)",
        "interrupted again: no more waiting for SN-1; it may still be flashing"};
    const std::string queued = "interrupted: finish";
    struct Case {
        std::string test;
        std::string cam1;             // its settings
        std::string jobs;             // "": all at once
        std::string interrupt, again; // the texts of the output that set off each interrupt
        std::string first;            // result and shape of cam1's update
        std::string others;           // of cam2 to cam4
        int status;
        size_t said; // of the messages above, in order
    };
    const Case cases[] = {
        {"failed-chunk", "fail_write = 5\n", "", "", "",
         "failed: magic param size data data! finish", "updated: " + kUpdated, 1, 0},
        {"interrupt-data", "", "", "SN-4: data ", "", "interrupted: magic param size data finish",
         "interrupted: magic param size data finish", 130, 1},
        // cam1's checksum write (its 21st) takes 3 s; the others answer while it is under way.
        {"interrupt-checksum", "slow_write = 21 3000\n", "", "SN-4: the camera answered", "",
         "interrupted: magic param size data checksum finish", "updated: " + kUpdated, 130, 1},
        {"interrupt-flashing", "", "1", "SN-1: flashing", "", "updated: " + kUpdated, queued, 130,
         2},
        {"interrupt-twice", "busy_ms = 60000\n", "1", "SN-1: flashing", "interrupt again",
         "timeout: magic param size data checksum flash poll! finish", queued, 130, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.test);
        Lines options = {"--all", "--report", "report.jsonl"};
        if (!c.jobs.empty())
            options.insert(options.end(), {"--jobs", c.jobs});
        const bool slow = c.test == "interrupt-data"; // to be caught in the data phase
        ToolRun run = Update(c.test, Config(slow ? kSlowLink : "", c.cam1), options);
        if (!c.interrupt.empty())
            run.interrupts = {{c.interrupt}};
        if (!c.again.empty()) // after the first poll of the busy camera
            run.interrupts.push_back({c.again, 2500});
        const ToolResult r = RunTool(run);
        EXPECT_EQ(r.status, c.status) << r.Diagnostics();
        std::map<std::string, Json> records; // by serial number
        for (const Json& record : JsonLines(ReadFile(r.workingDirectory + "/report.jsonl")))
            records[record["serial_number"]] = record;
        ASSERT_EQ(records.size(), 4u) << r.console;
        for (size_t i = 0; i < kCameras.size(); ++i) {
            const Json& record = records.at("SN-" + std::to_string(i + 1));
            EXPECT_EQ(record["result"].get<std::string>() + ": " + Shape(r, kCameras[i]),
                      i == 0 ? c.first : c.others)
                << kCameras[i];
        }
        if (!c.again.empty()) {
            EXPECT_EQ(records.at("SN-1")["reason"],
                      "waiting stopped by an interrupt; the camera may still be flashing");
        }
        const Lines output = SplitLines(r.console);
        for (size_t m = 0; m < messages.size(); ++m)
            EXPECT_EQ(std::count(output.begin(), output.end(), messages[m]), m < c.said ? 1 : 0)
                << messages[m] << "\n"
                << r.console;
    }
}
