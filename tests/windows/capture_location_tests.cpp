#include <gtest/gtest.h>

#include "capture_file.h"
#include "capture_location_win32.h"
#include "windows_test_support.h"

namespace {

constexpr std::size_t pathCapacity = MAX_PATH;

TEST(CaptureLocation, ThePreferredFolderWhereFilesMayBeCreated) {
    TempFolder preferred, user;
    char chosen[pathCapacity];
    ASSERT_TRUE(chooseCaptureDirectory(preferred.path().c_str(), user.path().c_str(), chosen,
                                       sizeof chosen));
    EXPECT_EQ(std::string(chosen), preferred.path());
    // The trial file is gone, and nothing was made in the user's folder.
    EXPECT_TRUE(preferred.entries().empty());
    EXPECT_TRUE(user.entries().empty());
}

// A folder that refuses new files stands in for the root of C: as a
// standard user finds it: there one may create folders but not files.
TEST(CaptureLocation, TheUsersOwnFolderWhereThePreferredOneRefusesFiles) {
    TempFolder user, other;
    writeWholeFile(other.file("plain-file"), {1});
    const std::vector<std::string> refusing = {other.file("missing"), other.file("plain-file"),
                                               "q:\\no-such-drive"};
    for (const std::string& preferred : refusing) {
        SCOPED_TRACE(preferred);
        char chosen[pathCapacity];
        ASSERT_TRUE(
            chooseCaptureDirectory(preferred.c_str(), user.path().c_str(), chosen, sizeof chosen));
        EXPECT_EQ(std::string(chosen), user.file(fallbackCaptureFolder));
        EXPECT_TRUE(GetFileAttributesA(chosen) & FILE_ATTRIBUTE_DIRECTORY);
    }
    RemoveDirectoryA(user.file(fallbackCaptureFolder).c_str());
}

TEST(CaptureLocation, NoFolderWhenNeitherPlaceCanBeHad) {
    TempFolder folder;
    writeWholeFile(folder.file("plain-file"), {1});
    const std::string refusing = folder.file("missing");
    char chosen[pathCapacity];
    EXPECT_FALSE(chooseCaptureDirectory(refusing.c_str(), "", chosen, sizeof chosen));
    // The user's folder is a file, so no folder can be made in it.
    EXPECT_FALSE(chooseCaptureDirectory(refusing.c_str(), folder.file("plain-file").c_str(), chosen,
                                        sizeof chosen));
    char small[4];
    EXPECT_FALSE(chooseCaptureDirectory(folder.path().c_str(), "", small, sizeof small));
}

// Under Wine, as on Windows before Vista, the root of C: takes files, so the
// visualisers and the agent meet where the first agents wrote.
TEST(CaptureLocation, BothSidesUseTheRootOfCWhereItTakesFiles) {
    EXPECT_EQ(capturePath(), "c:\\lumigrabtemp.raw");
    char directory[pathCapacity];
    ASSERT_TRUE(captureDirectory(directory, sizeof directory));
    EXPECT_EQ(std::string(directory), legacyCaptureDirectory);
    char small[8];
    EXPECT_FALSE(captureFilePath(small, sizeof small));
}

}  // namespace
