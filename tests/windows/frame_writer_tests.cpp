#include <gtest/gtest.h>

#include <algorithm>

#include "frame_writer.h"
#include "windows_test_support.h"

namespace {

constexpr const char* name = "frame.raw";

struct HeldFile {
    std::string path;
    DWORD sharing;
    DWORD milliseconds;
};

// Holds a file open for reading for a while.
DWORD WINAPI holdFile(void* data) {
    const auto* held = static_cast<const HeldFile*>(data);
    HANDLE file = CreateFileA(held->path.c_str(), GENERIC_READ, held->sharing, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    Sleep(held->milliseconds);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return 0;
}

class FrameWriterTest : public ::testing::Test {
   protected:
    TempFolder folder;
    AtomicFileWriter writer{folder.path(), name};
};

TEST_F(FrameWriterTest, ReplacesTheWholeFileAndLeavesNothingElse) {
    ASSERT_TRUE(writer.replace(Bytes(100, 7).data(), 100)) << writer.error();
    ASSERT_TRUE(writer.replace(Bytes(40, 9).data(), 40)) << writer.error();
    EXPECT_EQ(readWholeFile(folder.file(name)), Bytes(40, 9));
    EXPECT_EQ(folder.entries(), std::vector<std::string>{name});
}

// The visualisers share deletion, older readers do not; with either, a
// file that is open cannot be replaced (before Windows 10, and under Wine),
// so the writer tries again until the reader lets go.
TEST_F(FrameWriterTest, WaitsOutAReaderThatHoldsTheFileBriefly) {
    for (DWORD sharing :
         {DWORD(FILE_SHARE_READ), DWORD(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)}) {
        SCOPED_TRACE(sharing);
        ASSERT_TRUE(writer.replace(Bytes(10, 1).data(), 10));
        HeldFile held = {folder.file(name), sharing, 30};
        HANDLE thread = CreateThread(nullptr, 0, holdFile, &held, 0, nullptr);
        Sleep(5);
        EXPECT_TRUE(writer.replace(Bytes(10, 2).data(), 10)) << writer.error();
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        EXPECT_EQ(readWholeFile(folder.file(name)), Bytes(10, 2));
    }
}

TEST_F(FrameWriterTest, GivesUpOnAReaderThatHoldsOnAndKeepsTheOldFrame) {
    ASSERT_TRUE(writer.replace(Bytes(10, 1).data(), 10));
    HeldFile held = {folder.file(name), FILE_SHARE_READ, 1000};
    HANDLE thread = CreateThread(nullptr, 0, holdFile, &held, 0, nullptr);
    Sleep(50);
    EXPECT_FALSE(writer.replace(Bytes(10, 2).data(), 10));
    EXPECT_NE(writer.error().find(folder.file(name)), std::string::npos) << writer.error();
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(readWholeFile(folder.file(name)), Bytes(10, 1));
    EXPECT_EQ(folder.entries(), std::vector<std::string>{name});
}

TEST_F(FrameWriterTest, SaysWhyWhenTheFolderIsMissing) {
    AtomicFileWriter nowhere(folder.file("missing"), name);
    EXPECT_FALSE(nowhere.replace(Bytes(10, 1).data(), 10));
    EXPECT_NE(nowhere.error().find("cannot create a file in"), std::string::npos);
}

TEST_F(FrameWriterTest, RemovesOnlyTheTemporaryFilesOfKilledWriters) {
    for (const char* leftover : {".frame.raw.1234", ".frame.raw.99"}) {
        writeWholeFile(folder.file(leftover), {1});
    }
    for (const char* kept : {name, "other.raw", "frame.raw.1234"})
        writeWholeFile(folder.file(kept), {2});
    writer.removeLeftovers();
    std::vector<std::string> names = folder.entries();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"frame.raw", "frame.raw.1234", "other.raw"}));
}

}  // namespace
