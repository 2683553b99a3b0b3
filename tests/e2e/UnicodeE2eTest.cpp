#include <gtest/gtest.h>

#include <filesystem>

#include "platform/DirectoryReader.h"
#include "platform/PathRules.h"
#include "tests/e2e/E2eSupport.h"

namespace {
namespace fs = std::filesystem;
using e2e::Contains;

const std::string kUe = "TQ-12M-CXP_v2.1.0 (Übernahme).bin";
const std::string kSato = "TQ-12M-CXP_佐藤.bin";
const std::string kOther = "TQ-12M-CXP_v3.bin";
const std::string kCamera = "[camera cam0]\nserial = SN-A\n";

// A folder name past 260 characters, in components the file systems take.
std::string LongFolder() {
    std::string folder = "long";
    while (folder.size() < 300)
        folder += "/Übernahme-佐藤-0123456789abcdefghijklmnop";
    return folder;
}

std::string In(const std::string& dir, const std::string& name) {
    return (fs::u8path(dir) / fs::u8path(name)).u8string();
}

// std::filesystem's walk ends at 260 characters under wine; the tool's own listing does not.
void RemoveTree(const std::string& path) {
    if (DirectoryStream* stream = DirectoryReader::opendir(path.c_str())) {
        while (const DirectoryEntry* entry = DirectoryReader::readdir(stream)) {
            const std::string name(entry->name, entry->nameLength);
            if (name != "." && name != "..")
                RemoveTree(In(path, name));
        }
        DirectoryReader::closedir(stream);
    }
    std::error_code ignored;
    fs::remove(fs::u8path(path), ignored);
}

enum class Producer { Simulator, SearchPath, Option }; // the last two: a copy in the folder

struct Case {
    std::string test;
    std::string folder; // below the scratch folder: the working folder, producer, trace, report
    std::string file;   // the firmware file in it
    Producer producer;
    bool interactive;
};

// Names outside any ANSI code page (one outside the BMP too), as UTF-8 bytes everywhere: on the
// command line, in the environment, as the working folder, the producer's folder, the trace and the
// report.
TEST(UnicodeE2e, NamesOutsideTheCodePageAndLongPathsWorkInBothModes) {
    const std::vector<Case> cases = {
        {"interactive", "Werk Übernahme", kSato, Producer::Simulator, true},
        {"cli", "佐藤", kSato, Producer::Simulator, false},
        {"search-path", "GenTL 佐藤", kUe, Producer::SearchPath, true},
        {"search-path-cli", "GenTL Übernahme", kSato, Producer::SearchPath, false},
        {"option", "GenTL Übernahme 佐藤 📷", kOther, Producer::Option, false},
        {"long", LongFolder(), kSato, Producer::SearchPath, false},
        {"long-interactive", LongFolder(), kUe, Producer::SearchPath, true},
    };
    // Wine starts no process in a working folder past 260 characters (CreateProcessW: "Invalid
    // name"); there the long folder holds everything but the working folder.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.test);
        RemoveTree(e2e::NativePath("e2e-scratch/unicode-" + c.test));
        const e2e::ScratchDir scratch("unicode-" + c.test);
        const std::string dir = e2e::NativePath(scratch.MakeSubdir(c.folder));
        const bool inFolder = platform::kDirSeparator != '\\' || c.folder.size() < 260;
        const std::string work = inFolder ? dir : scratch.Path();
        const std::string file = inFolder || c.interactive ? c.file : In(dir, c.file);
        e2e::WriteFile(In(c.interactive ? work : dir, c.file), "abcd");
        e2e::ToolRun run = e2e::RunIn(work, "0\n0\n0\n\n", kCamera);
        const std::string producer = In(dir, "cxp-sim.cti");
        if (c.producer != Producer::Simulator)
            fs::copy_file(fs::u8path(e2e::SimPath()), fs::u8path(producer));
        if (c.producer == Producer::SearchPath)
            run.genTLPath = dir;
        const std::string report = In(dir, "report.jsonl");
        const std::string trace = In(dir, "trace.log");
        if (!c.interactive) {
            run.arguments = {"update",   file,   "--camera", "SN-A",
                             "--report", report, "--trace",  trace};
            if (c.producer == Producer::Option)
                run.arguments.insert(run.arguments.end(), {"--producer", producer});
        }
        const e2e::ToolResult r = e2e::RunTool(run);
        EXPECT_EQ(r.status, 0) << r.Diagnostics() << "\n" << r.console;
        EXPECT_EQ(r.Record("cam0.image.bin"), "abcd");
        if (c.interactive) {
            EXPECT_TRUE(Contains(r.console, "open file >>>" + file + "<<<\n")) << r.console;
            EXPECT_EQ(Contains(r.console, "Name: " + producer + "\n"),
                      c.producer == Producer::SearchPath);
            EXPECT_TRUE(Contains(r.trace, "FirmwareFile: " + file + "\n")) << r.trace;
            continue;
        }
        EXPECT_TRUE(Contains(r.console, "firmware " + file + ": ")) << r.console;
        EXPECT_TRUE(Contains(e2e::ReadFile(trace), "GCInitLib Successful!"));
        const std::vector<e2e::Json> records = e2e::JsonLines(e2e::ReadFile(report));
        const e2e::Json record = records.size() == 1 ? records[0] : e2e::Json::object();
        EXPECT_EQ(record.value("file", "") + " " + record.value("result", ""), file + " updated");
        EXPECT_EQ(record.value("producer", ""),
                  c.producer == Producer::Simulator ? e2e::SimPath() : producer);
    }
}
} // namespace
