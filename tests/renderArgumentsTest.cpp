// renderArgumentsTest.cpp
// The offline renderer's command line, one parser for its PNG, video and benchmark modes: a rate is
// N or N/D in plain digits from 1 to 1000 fps, a time plain decimal seconds with at most three
// decimals, bad requests exit 2 with the usage in every mode; and its PNGs synced before renaming.
#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/render/frameTiming.h"
#include "tools/render/renderTool.h"

TEST(RenderArguments, RatesAreWholeNumbersFromOneToAThousandFramesPerSecond) {
    FrameRate rate = {};
    for (const char* good : {"1", "1000", "30000/1001", "2000/2", "1000000/1000", "7/7"}) {
        EXPECT_TRUE(parseFrameRate(good, &rate)) << good;
    }
    EXPECT_TRUE(parseFrameRate("1000000/1000", &rate));
    EXPECT_EQ(rate.numerator, 1000000);
    EXPECT_EQ(rate.denominator, 1000);
    for (const char* bad : {"1001", "1/2", "2001/2", "999/1000", " 60", "60 ", "+60", "-60", "60.0", "6e1",
                            "0/0", "1000001/1000", "60/+1", "nan", "inf"}) {
        EXPECT_FALSE(parseFrameRate(bad, &rate)) << bad;
    }
}

TEST(RenderArguments, TimesAreWholeDecimalArgumentsWithoutOverflow) {
    long long ms = -1;
    EXPECT_TRUE(parseMilliseconds("999999999.999", &ms));
    EXPECT_EQ(ms, 999999999999LL);
    // Times that the frame arithmetic multiplies by a rate of a million stay in range.
    EXPECT_LT(ms, (1LL << 62) / 1000000);
    for (const char* bad :
         {"1000000000", "abc", "nan", "inf", "1e300", "5s", " 5", "5 ", "0x10", "1..2", "-0.5"}) {
        EXPECT_FALSE(parseMilliseconds(bad, &ms)) << bad;
    }
}

namespace {

// Parses a command line; the exit code, with what was said on standard error in *said.
int parse(std::vector<const char*> args, RenderRequest* request, std::string* said = nullptr) {
    args.insert(args.begin(), "kestrane-render");
    testing::internal::CaptureStderr();
    int code = parseRenderArguments(int(args.size()), const_cast<char**>(args.data()), request);
    std::string text = testing::internal::GetCapturedStderr();
    if (said) *said = text;
    return code;
}

// The synced files' names, as they were when synced.
std::vector<std::string> syncedPaths;

}  // namespace

// Every fsync of this test program passes through here, so the PNG writer's can be seen.
extern "C" int fsync(int fd) {
    char link[64], target[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, target, sizeof target - 1);
    if (n > 0) syncedPaths.push_back(std::string(target, size_t(n)));
    return int(syscall(SYS_fsync, fd));
}

TEST(RenderArguments, OneRuleForEveryModeAndUsageErrorsExitTwoWithTheUsage) {
    RenderRequest request;
    std::string said;
    // The same bad value is refused the same way in the PNG, sequence and video modes.
    const std::vector<std::vector<const char*>> refused = {
        {"--from", "0", "--to", "210", "--fps", "10", "--out", "/tmp/x"},
        {"--capture", "--from", "0", "--to", "210"},
        {"--time", "250", "--out", "/tmp/x"},
        {"--time", "10", "--fps", "0", "--out", "/tmp/x"},
        {"--capture", "--fps", "0"},
        {"--capture", "--size", "801x600"},
        {"--time", "10", "--size", "63x48", "--out", "/tmp/x"},
        {"--bench", "--size", "640"},
        {"--time", "10", "--out"},
        {"--capture", "--to"},
        {"--time", "10", "--out", "/tmp/x", "--frobnicate"},
        // Options a mode does not use are refused, not ignored.
        {"--bench", "--time", "10"},
        {"--capture", "--time", "10"},
        {"--capture", "--bench"},
        {"--time", "10", "--from", "0", "--to", "1", "--fps", "10", "--out", "/tmp/x"},
        {"--from", "0", "--to", "1", "--out", "/tmp/x"},
        {"--from", "0.5", "--to", "0.9", "--fps", "1", "--out", "/tmp/x"},
        {"--capture", "--from", "0.5", "--to", "0.9", "--fps", "1"},
        {"--capture", "--from", "5", "--to", "5"},
        {"--time", "10"},
        {},
    };
    for (const auto& args : refused) {
        std::string line;
        for (const char* a : args) line += std::string(a) + " ";
        EXPECT_EQ(parse(args, &request, &said), 2) << line;
        EXPECT_EQ(said.rfind("kestrane-render: ", 0), 0u) << line << said;
        EXPECT_NE(said.find("\nusage: kestrane-render"), std::string::npos) << line << said;
    }
    EXPECT_EQ(parse({"--capture", "--from", "0", "--to", "210"}, &request, &said), 2);
    EXPECT_NE(said.find("--to '210'"), std::string::npos) << said;
    EXPECT_EQ(parse({"--from", "0", "--to", "210", "--fps", "10", "--out", "/tmp/x"}, &request, &said), 2);
    EXPECT_NE(said.find("--to '210'"), std::string::npos) << said;
    // The refusal and the usage name the presentation's end.
    EXPECT_NE(said.find("past the end of the presentation, 203 s"), std::string::npos) << said;
    EXPECT_NE(said.find("0 to 203, at most three decimals"), std::string::npos) << said;
    EXPECT_NE(said.find("0 to 203 s) into an MP4"), std::string::npos) << said;
}

TEST(RenderArguments, RequestsOfEachMode) {
    RenderRequest r;
    ASSERT_EQ(parse({"--time", "66.5", "--time", "10", "--out", "/tmp/f"}, &r), 0);
    EXPECT_EQ(r.mode, RenderMode::Frames);
    EXPECT_EQ(r.timesMs, (std::vector<long long>{66500, 10000}));
    EXPECT_EQ(r.rate.numerator, 60);
    EXPECT_EQ(r.out, "/tmp/f");
    ASSERT_EQ(
        parse({"--from", "0", "--to", "203", "--fps", "30000/1001", "--size", "801x601", "--out", "d"}, &r),
        0);
    EXPECT_EQ(r.mode, RenderMode::Sequence);
    EXPECT_EQ(r.toMs, 203000);
    EXPECT_EQ(r.rate.denominator, 1001);
    EXPECT_EQ(r.width, 801);
    ASSERT_EQ(parse({"--capture", "--size", "1920x1080"}, &r), 0);
    EXPECT_EQ(r.mode, RenderMode::Capture);
    EXPECT_EQ(r.fromMs, 0);
    EXPECT_EQ(r.toMs, 203000);
    EXPECT_EQ(r.out, "kestrane.mp4");
    ASSERT_EQ(parse({"--bench-frames", "--size", "1920x1080"}, &r), 0);
    EXPECT_EQ(r.mode, RenderMode::BenchFrames);
    EXPECT_EQ(r.height, 1080);
    ASSERT_EQ(parse({"--time", "abc", "--help"}, &r), 0);
    EXPECT_EQ(r.mode, RenderMode::Help);
}

// A PNG is synced to the disk under its temporary name, before it takes the final one.
TEST(RenderArguments, PngFilesAreSyncedBeforeTheyAreRenamed) {
    char folder[] = "/tmp/kestrane-png-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const unsigned char rgb[64 * 48 * 3] = {};
    syncedPaths.clear();
    ASSERT_TRUE(writePngFile(folder, "t1.000.png", rgb, 64, 48));
    const std::string partial = std::string(folder) + "/.t1.000.png." + std::to_string(getpid()) + ".part";
    EXPECT_EQ(std::count(syncedPaths.begin(), syncedPaths.end(), partial), 1);
    const std::string finished = std::string(folder) + "/t1.000.png";
    EXPECT_EQ(access(finished.c_str(), F_OK), 0);
    EXPECT_EQ(access(partial.c_str(), F_OK), -1);
    unlink(finished.c_str());
    rmdir(folder);
}
