// The tone: its samples, its way through ALSA, and its silence where there is no sound device.
#include "tone_generator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "afxwin.h"
#include "test_support.h"

namespace {

using linuxsvc::SineTone;
using linuxsvc::ToneGenerator;

int SignChanges(const std::vector<std::int16_t>& samples) {
    int changes = 0;
    int previous = 0;
    for (const std::int16_t sample : samples) {
        const int sign = (sample > 0) - (sample < 0);
        if (sign != 0 && previous != 0 && sign != previous) ++changes;
        if (sign != 0) previous = sign;
    }
    return changes;
}

int Peak(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t to) {
    int peak = 0;
    for (std::size_t i = from; i < to; ++i) peak = std::max(peak, std::abs(int{samples[i]}));
    return peak;
}

struct ToneCase {
    unsigned frequency;
    unsigned milliseconds;
};

TEST(SineTone, HasThePitchAndLengthAskedForAndFadesAtTheEnds) {
    const ToneCase cases[] = {{10000, 10}, {440, 200}, {1000, 5}, {37, 100}};
    for (const ToneCase& tone : cases) {
        SCOPED_TRACE(tone.frequency);
        const std::size_t frames = ToneGenerator::kSampleRate * tone.milliseconds / 1000;
        const auto samples = SineTone(tone.frequency, ToneGenerator::kSampleRate, frames);
        ASSERT_EQ(samples.size(), frames);
        // Two sign changes per period.
        const double expected = 2.0 * tone.frequency * tone.milliseconds / 1000.0;
        EXPECT_NEAR(SignChanges(samples), expected, 2.0);
        EXPECT_GT(Peak(samples, frames / 4, frames * 3 / 4), 8000);
        EXPECT_LT(std::abs(int{samples.front()}), 1000);
        EXPECT_LT(std::abs(int{samples.back()}), 1000);
    }
    // Beyond what the sample rate can carry: silence rather than an alias at another pitch.
    const auto tooHigh = SineTone(30000, ToneGenerator::kSampleRate, 480);
    EXPECT_EQ(Peak(tooHigh, 0, tooHigh.size()), 0);
}

TEST(ToneGenerator, PlaysItsSamplesThroughAnAlsaDevice) {
    servicetest::TempFolder folder;
    const std::string capture = folder.Path() + "/tone.raw";
    // A device that writes what it is given to a file and plays it nowhere.
    ToneGenerator tone("capture", "pcm.capture { type file slave.pcm { type null } file \"" +
                                      capture + "\" format \"raw\" }");
    ASSERT_TRUE(tone.HasDevice());
    EXPECT_TRUE(tone.Play(10000, std::chrono::milliseconds(10)));
    EXPECT_TRUE(tone.Play(10000, std::chrono::milliseconds(10)));
    const std::string bytes = servicetest::ReadFile(capture);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    // Two clicks of 480 frames each, at 10 kHz.
    ASSERT_GE(samples.size(), 960u);
    EXPECT_NEAR(SignChanges(samples), 400, 6);
}

TEST(Beep, WithoutASoundDeviceIsSilentEvenOnStderr) {
    const std::string printed = servicetest::CapturedStderr([] {
        ToneGenerator tone("tessaly-no-such-device");
        EXPECT_FALSE(tone.HasDevice());
        EXPECT_GE(servicetest::MillisecondsTaken(
                      [&] { EXPECT_TRUE(tone.Play(10000, std::chrono::milliseconds(30))); }),
                  30);
        EXPECT_TRUE(win::Beep(10000, 10));
    });
    EXPECT_EQ(printed, "");
}

TEST(Beep, RefusesFrequenciesOutsideTheSpeakersRange) {
    EXPECT_FALSE(win::Beep(36, 10));
    EXPECT_FALSE(win::Beep(32768, 10));
}

TEST(Beep, AStopEndsALongToneAtOnce) {
    servicetest::TempFolder folder;
    EXPECT_EQ(servicetest::RunInChild([&] {
                  std::string failures;
                  ToneGenerator silent("tessaly-no-such-device");
                  ToneGenerator captured("capture",
                                         "pcm.capture { type file slave.pcm { type null } file \"" +
                                             folder.Path() + "/long.raw\" format \"raw\" }");
                  std::thread([] {
                      std::this_thread::sleep_for(std::chrono::milliseconds(100));
                      AfxRequestStop();
                  }).detach();
                  if (servicetest::MillisecondsTaken(
                          [&] { silent.Play(440, std::chrono::milliseconds(20000)); }) >= 10000) {
                      failures += "a stop did not end a silent tone; ";
                  }
                  if (servicetest::MillisecondsTaken(
                          [&] { captured.Play(440, std::chrono::milliseconds(20000)); }) >= 10000) {
                      failures += "a tone after the stop played on; ";
                  }
                  return failures;
              }),
              "");
}

}  // namespace
