#include "app/ConsoleReports.h"

#include <charconv>
#include <cstring>
#include <string_view>

#include "app/ConsolePrint.h"

void ConsoleEnumerationReport::ProducerNotLoaded(const std::string& message) {
    ConsolePrint("%s", message.c_str());
}

void ConsoleEnumerationReport::NoInterfaceFound() {
    ConsolePrint("!!!No Interface Found!!!\n");
}

void ConsoleEnumerationReport::DeviceNotOpened(const std::string& deviceId) {
    ConsolePrint("!!! Can not open device on %s\n", deviceId.c_str());
}

void ConsoleUploadReport::OpeningFile(const std::string& fileName) {
    ConsolePrint("open file >>>%s<<<\n", fileName.c_str());
}

void ConsoleUploadReport::ImageUnusable(ImageLoad problem) {
    switch (problem) {
    case ImageLoad::OpenFailed:
        ConsolePrint("file open not successful\n");
        break;
    case ImageLoad::ReadError:
        ConsolePrint("file reading error\n");
        break;
    case ImageLoad::Empty:
        ConsolePrint("firmware file is empty\n");
        break;
    case ImageLoad::TooLarge:
        ConsolePrint("firmware file is too large\n");
        break;
    case ImageLoad::NoMemory:
        ConsolePrint("not enough memory for the firmware image\n");
        break;
    case ImageLoad::Loaded:
        break;
    }
}

void ConsoleUploadReport::ImageReady(const LoadedImage& image) {
    ConsolePrint("file size %u, upload size %u, crc %08x\n", image.fileSize, image.Size(),
                 image.crc);
}

void ConsoleUploadReport::PhaseChanged(UploadPhase phase) {
    if (phase == UploadPhase::Flash) {
        progressLineOpen = false;
        ConsolePrint("\rupload done     \n");
        ConsolePrint("flash to eeprom\n");
    } else if (phase == UploadPhase::Waiting) {
        ConsolePrint("----------------------------------------------------\n");
        ConsolePrint("WARN: NOT YET FINISHED, DON'T PLUGOUT THIS CAMERA!! \n");
        ConsolePrint("WARN: PLEASE WAIT UNTIL THIS CAMERA APPEARS AGAIN!! \n");
        ConsolePrint("----------------------------------------------------\n");
        ConsolePrint("Please wait ...");
    }
}

void ConsoleUploadReport::SecondarySelected() {
    ConsolePrint("FW for secondary FPGA\n");
}

void ConsoleUploadReport::SecondaryRefused() {
    ConsolePrint("unable to update secondary FPGA of camera Error \n");
}

void ConsoleUploadReport::Progress(uint32_t sent, uint32_t total) {
    if (sent < total) {
        progressLineOpen = true;
        // Built without printf: this runs before every chunk, and printf's machinery is much of
        // the tool's time between chunks.
        constexpr std::string_view lead = "\rremaining ", tail = "    ";
        char line[32];
        std::memcpy(line, lead.data(), lead.size());
        char* end =
            std::to_chars(line + lead.size(), line + sizeof line - tail.size(), total - sent).ptr;
        std::memcpy(end, tail.data(), tail.size());
        ConsoleProgress(std::string_view(line, static_cast<size_t>(end + tail.size() - line)));
    }
}

void ConsoleUploadReport::WriteFailed(uint64_t address) {
    if (progressLineOpen) {
        ConsolePrint("\n"); // leave the progress line intact above the message
        progressLineOpen = false;
    }
    ConsolePrint("write to camera failed at address 0x%llx, firmware not flashed\n",
                 static_cast<unsigned long long>(address));
}

void ConsoleUploadReport::Interrupted() {
    progressLineOpen = false;
    ConsolePrint("\nupload interrupted, firmware not flashed\n");
}
