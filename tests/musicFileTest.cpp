// musicFileTest.cpp
// What start-up says about the music file: the two lines on standard output when it cannot be
// opened, and one and the same line on standard error, once, for a file that opens but holds
// nothing playable (empty, a folder, bytes without MP3 frames). The picture gets a clock in every
// case.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

const char* const musicFile = "data/music/ivo_marenk_-_kestrane.mp3";
const std::string unplayableLine =
    "kestrane: data/music/ivo_marenk_-_kestrane.mp3 holds no playable MP3 audio; running without "
    "music\n";

// A working folder with data/music/ in it, entered for the case and left afterwards.
class MusicFile : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kestraneMusicXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        fs::create_directories(folder / "data/music");
        previous = fs::current_path();
        fs::current_path(folder);
        audioSetOffline(true);
    }
    void TearDown() override {
        fs::current_path(previous);
        audioClose();
        audioSetOffline(false);
        musicStream = nullptr;
        musicChannel = -1;
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    // Runs start-up's music step as a fresh run would, then once more as a re-created window
    // does; returns what each wrote on standard output and standard error.
    struct Said {
        std::string out, err, outAgain, errAgain;
    };
    Said startTwice() {
        musicStream = nullptr;
        musicChannel = -1;
        Said said;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        startMusic();
        said.out = testing::internal::GetCapturedStdout();
        said.err = testing::internal::GetCapturedStderr();
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        startMusic();
        said.outAgain = testing::internal::GetCapturedStdout();
        said.errAgain = testing::internal::GetCapturedStderr();
        return said;
    }
    void writeMusic(const std::vector<unsigned char>& bytes) {
        std::ofstream(musicFile, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    // The clock the picture runs on, whatever became of the music.
    void expectAClock() {
        ASSERT_NE(musicStream, nullptr);
        EXPECT_GE(musicChannel, 0);
        audioSetOfflineTimeMs(12345);
        EXPECT_EQ(musicTimeMs(), 12345);
    }
    fs::path folder, previous;
};

}  // namespace

TEST_F(MusicFile, MissingFileGivesTheTwoLinesOnStandardOutput) {
    const Said said = startTwice();
    EXPECT_EQ(said.out, "Error!\nFile Not Found\n");
    EXPECT_EQ(said.err, "");
    EXPECT_EQ(said.outAgain + said.errAgain, "");
    expectAClock();
}

TEST_F(MusicFile, EmptyFolderAndNoiseAreAllSaidOnceAlike) {
    // Bytes below 0xFF throughout: no MPEG frame can start anywhere in them.
    std::vector<unsigned char> noise(50000);
    unsigned state = 11;
    for (unsigned char& b : noise) b = (unsigned char)(((state = state * 1103515245u + 12345u) >> 16) % 255);
    struct Case {
        const char* name;
        std::function<void()> make;
    };
    const Case cases[] = {
        {"empty file", [&] { writeMusic({}); }},
        {"folder", [&] { fs::create_directory(musicFile); }},
        {"random bytes", [&] { writeMusic(noise); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::error_code ignored;
        fs::remove_all(musicFile, ignored);
        c.make();
        const Said said = startTwice();
        EXPECT_EQ(said.out, "");
        EXPECT_EQ(said.err, unplayableLine);
        EXPECT_EQ(said.outAgain + said.errAgain, "");  // the re-created window says nothing more
        expectAClock();
        audioClose();
    }
}
