#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <windows.h>

#include "platform/DynamicLibrary.h"
#include "platform/Utf8.h"

namespace fs = std::filesystem;

TEST(Interrupt, CtrlCIsCountedWhileArmedAndEndsTheProcessOtherwise) {
    const fs::path report = fs::current_path() / "interrupt-probe.txt";
    fs::remove(report);
    std::string command = "\"" CXP_INTERRUPT_PROBE "\" \"" + report.string() + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE,
                               nullptr, nullptr, &startup, &process));
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::string text;
    std::getline(std::ifstream(report), text);
    EXPECT_EQ(text, "counted 2");
    // The default handler's ending: STATUS_CONTROL_C_EXIT, or 0 under wine.
    EXPECT_TRUE(code == STATUS_CONTROL_C_EXIT || code == 0) << std::hex << code;
}

TEST(LibrarySearch, AProducersLibrariesComeFromItsFolderNeverFromTheCurrentOne) {
    platform::HardenLibrarySearch();
    const fs::path saved = fs::current_path(), root = saved / "platform-scratch" / "search";
    const fs::path producer = CXP_SEARCH_PRODUCER, helper = CXP_SEARCH_HELPER;
    fs::remove_all(root);
    for (const auto& [file, folder] : {std::pair(producer, "beside"), std::pair(helper, "beside"),
                                       std::pair(producer, "alone"), std::pair(helper, "cwd")}) {
        fs::create_directories(root / folder);
        fs::copy_file(file, root / folder / file.filename());
    }
    // The planted helper first: once loaded, a library is reused by its name.
    for (const std::string folder : {"alone", "beside"}) {
        fs::current_path(root / "cwd");
        platform::LibraryLoadFailure failure;
        void* library =
            platform::LoadDynamicLibrary((root / folder / producer.filename()).string(), failure);
        fs::current_path(saved);
        ASSERT_EQ(library != nullptr, folder == "beside") << folder;
        if (library) {
            auto value =
                reinterpret_cast<int (*)()>(platform::ResolveSymbol(library, "ProducerValue"));
            EXPECT_EQ(value ? value() : 0, 42);
            platform::FreeDynamicLibrary(library);
        } else {
            EXPECT_EQ(failure.code, ERROR_MOD_NOT_FOUND); // the reason: the end-to-end tests
        }
    }
}

// Wine takes long paths without the prefix, Windows does not: the rule checked here.
TEST(SystemPath, OnlyAFullPathPastTheLimitGetsTheLongPathPrefix) {
    const std::wstring tail(300, L'a');
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\short\\x.bin", L"C:\\short\\x.bin"},
        {L"C:\\" + tail, L"\\\\?\\C:\\" + tail},
        {L"\\\\host\\share\\" + tail, L"\\\\?\\UNC\\host\\share\\" + tail},
        {L"\\\\?\\C:\\x", L"\\\\?\\C:\\x"},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(platform::Narrow(platform::SystemPath(path)), platform::Narrow(expected));
}
