#include "capture_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "frame_source.h"

namespace {

// Every test gets a private runtime directory of its own.
class CaptureFile : public testing::Test {
   protected:
    void SetUp() override {
        char pattern[] = "/tmp/capture-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
        setenv("XDG_RUNTIME_DIR", directory.c_str(), 1);
        path = directory + "/" + captureFileName;
        frameWidth = 160;
        frameHeight = 120;
    }
    void TearDown() override {
        std::string command = "rm -rf '" + directory + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        unsetenv("XDG_RUNTIME_DIR");
    }
    void writeFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        FILE* f = std::fopen(name.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    std::string directory;
    std::string path;
};

TEST_F(CaptureFile, MissingFileIsCreatedEmptyAndPrivate) {
    std::vector<std::uint8_t> frame(captureFrameBytes, 7);
    EXPECT_EQ(readCaptureFile(frame.data(), frame.size()), 0);
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_size, 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(frame[0], 7);
}

TEST_F(CaptureFile, ShortFileUpdatesOnlyTheLeadingBytes) {
    std::memset(rawFrame, 0, sizeof rawFrame);
    std::vector<std::uint8_t> full(captureFrameBytes, 50);
    writeFile(path, full);
    ASSERT_EQ(readCaptureFile(rawFrame, captureFrameBytes), long(captureFrameBytes));

    writeFile(path, std::vector<std::uint8_t>(1000, 200));
    EXPECT_EQ(readCaptureFile(rawFrame, captureFrameBytes), 1000);
    convertFrame(AlphaRule::brightness);
    // 333 whole pixels and the blue byte of the 334th are new; frame rows
    // are 160 pixels long, so that is pixel 13 of row 2.
    EXPECT_EQ(imagePixel(stagingImage, 0, 159)[0], 200);
    EXPECT_EQ(imagePixel(stagingImage, 2, 12)[0], 200);
    const std::uint8_t* mixed = imagePixel(stagingImage, 2, 13);
    EXPECT_EQ(mixed[2], 200);  // blue
    EXPECT_EQ(mixed[1], 50);   // green
    EXPECT_EQ(mixed[0], 50);   // red
    EXPECT_EQ(imagePixel(stagingImage, 2, 100)[0], 50);
}

TEST_F(CaptureFile, ReadsNoMoreThanAFrame) {
    std::vector<std::uint8_t> longer(captureFrameBytes + 100, 9);
    writeFile(path, longer);
    std::vector<std::uint8_t> frame(captureFrameBytes + 100, 1);
    EXPECT_EQ(readCaptureFile(frame.data(), captureFrameBytes), long(captureFrameBytes));
    EXPECT_EQ(frame[captureFrameBytes], 1);
}

struct HostileCase {
    const char* name;
    std::function<void(const std::string& path, const std::string& directory)> plant;
};

std::ostream& operator<<(std::ostream& out, const HostileCase& c) { return out << c.name; }

class HostileCaptureFile : public CaptureFile, public testing::WithParamInterface<HostileCase> {};

// None of these may block the display pass, be read, or create anything
// elsewhere.
TEST_P(HostileCaptureFile, CountsAsAFailedOpen) {
    GetParam().plant(path, directory);
    if (IsSkipped()) return;
    std::vector<std::uint8_t> frame(captureFrameBytes, 33);
    EXPECT_EQ(readCaptureFile(frame.data(), frame.size()), -1);
    EXPECT_EQ(frame[0], 33);
    EXPECT_EQ(frame[captureFrameBytes - 1], 33);
    struct stat info;
    EXPECT_NE(stat((directory + "/elsewhere").c_str(), &info), 0) << "created through a link";
}

INSTANTIATE_TEST_SUITE_P(
    Plants, HostileCaptureFile,
    testing::Values(
        HostileCase{"fifo", [](const std::string& p,
                               const std::string&) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }},
        HostileCase{"directory", [](const std::string& p,
                                    const std::string&) { ASSERT_EQ(mkdir(p.c_str(), 0700), 0); }},
        HostileCase{"symlink",
                    [](const std::string& p, const std::string& d) {
                        std::string target = d + "/real";
                        int fd = open(target.c_str(), O_CREAT | O_WRONLY, 0600);
                        ASSERT_GE(fd, 0);
                        ASSERT_EQ(write(fd, "abc", 3), 3);
                        close(fd);
                        ASSERT_EQ(symlink(target.c_str(), p.c_str()), 0);
                    }},
        HostileCase{"dangling_symlink",
                    [](const std::string& p, const std::string& d) {
                        ASSERT_EQ(symlink((d + "/elsewhere").c_str(), p.c_str()), 0);
                    }},
        HostileCase{"foreign_owner",
                    [](const std::string& p, const std::string&) {
                        if (geteuid() != 0) GTEST_SKIP() << "needs root to give a file away";
                        int fd = open(p.c_str(), O_CREAT | O_WRONLY, 0644);
                        ASSERT_GE(fd, 0);
                        ASSERT_EQ(write(fd, "abc", 3), 3);
                        close(fd);
                        ASSERT_EQ(chown(p.c_str(), 65534, 65534), 0);
                    }},
        HostileCase{"unreadable",
                    [](const std::string& p, const std::string&) {
                        if (geteuid() == 0) GTEST_SKIP() << "root reads any file";
                        int fd = open(p.c_str(), O_CREAT | O_WRONLY, 0200);
                        ASSERT_GE(fd, 0);
                        close(fd);
                    }}),
    [](const testing::TestParamInfo<HostileCase>& info) { return info.param.name; });

TEST(CaptureDirectory, FallsBackToAPrivateDirectoryInTmp) {
    unsetenv("XDG_RUNTIME_DIR");
    const std::string fallback = "/tmp/lumigrab-" + std::to_string(geteuid());
    struct stat before;
    const bool existed = lstat(fallback.c_str(), &before) == 0;

    char path[4096];
    ASSERT_TRUE(captureDirectory(path, sizeof path));
    EXPECT_EQ(fallback, path);
    struct stat info;
    ASSERT_EQ(lstat(path, &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0700u);

    // Anyone able to enter it could plant files: refuse it.
    ASSERT_EQ(chmod(path, 0755), 0);
    EXPECT_FALSE(captureDirectory(path, sizeof path));
    std::uint8_t byte = 0;
    EXPECT_EQ(readCaptureFile(&byte, 1), -1);
    ASSERT_EQ(chmod(fallback.c_str(), 0700), 0);
    if (!existed) rmdir(fallback.c_str());
}

TEST(CaptureDirectory, ReportsAPathThatDoesNotFit) {
    setenv("XDG_RUNTIME_DIR", "/run/user/1000", 1);
    char small[16];
    EXPECT_FALSE(captureFilePath(small, sizeof small));
    char enough[64];
    ASSERT_TRUE(captureFilePath(enough, sizeof enough));
    EXPECT_STREQ(enough, "/run/user/1000/lumigrabtemp.raw");
    unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
