// Program files of any content read for their dimensions and comment.
#include "cnc/program_file.h"
#include "fakes/fake_view.h"
#include "fuzz_station.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorlan;
    const fuzzing::Workspace& workspace = fuzzing::Workspace::instance();
    fuzzing::writeFile(workspace.drive / "PROGS" / "FUZZ.CNC", std::string(reinterpret_cast<const char*>(data), size));
    const platform::PathMapper paths([&workspace](const std::string& name) -> std::optional<std::string> {
        return name == "QUORLAN_DRIVE_C" ? std::optional<std::string>(workspace.drive.string()) : std::nullopt;
    });
    testing::FakeView view;
    float x = 0;
    float y = 0;
    float z = 0;
    std::string comment;
    cnc::CheckProgramFile("C:\\PROGS\\", "FUZZ.CNC", paths, view, x, y, z, comment);
    for (unsigned char c : comment) {
        if (c < 0x20 || c == ';') {
            fuzzing::broken("the comment carries what a list line may not", comment);
        }
    }
    if (view.messages.size() > 1) {
        fuzzing::broken("more than one message for one file", view.messages.back().text);
    }
    return 0;
}
