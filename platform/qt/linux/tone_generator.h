// Short sine tones on an ALSA playback device, for the beep.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

typedef struct _snd_pcm snd_pcm_t;

namespace linuxsvc {

// One tone of `frames` samples at `sampleRate`, faded in and out over a few samples so that even
// a 10 ms tone is heard as a click of its own pitch and not as the crack of a cut-off wave.
std::vector<std::int16_t> SineTone(unsigned frequency, unsigned sampleRate, std::size_t frames);

class ToneGenerator {
  public:
    static constexpr unsigned kSampleRate = 48000;

    // `device` is an ALSA PCM name; `configuration`, when given, is ALSA configuration text that
    // defines it instead of the system's own configuration.
    explicit ToneGenerator(std::string device, std::string configuration = {});
    ~ToneGenerator();
    ToneGenerator(const ToneGenerator&) = delete;
    ToneGenerator& operator=(const ToneGenerator&) = delete;

    // Sounds the tone and returns when it has been played or a stop was requested. Without a
    // device it is silent but takes the same time, so that what follows keeps its rhythm.
    // False for a frequency no speaker is asked to play.
    bool Play(unsigned frequency, std::chrono::milliseconds duration);

    // Whether a device could be opened; it is opened at the first tone and kept.
    bool HasDevice();

  private:
    bool EnsureOpen();
    bool OpenDevice();
    bool WriteFrames(const std::vector<std::int16_t>& samples);
    void CloseDevice();

    std::string m_device;
    std::string m_configuration;
    std::mutex m_mutex;
    snd_pcm_t* m_pcm = nullptr;
    bool m_openTried = false;
};

}  // namespace linuxsvc
