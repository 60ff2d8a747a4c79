#include "tone_generator.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "afxwin.h"
#include "stop_state.h"

namespace linuxsvc {
namespace {

constexpr std::int16_t kAmplitude = 12000;  // well below full scale: a beep, not a blast
constexpr unsigned kRampSamples = 48;       // 1 ms at 48 kHz
constexpr unsigned kLatencyMicroseconds = 30000;
constexpr std::size_t kChunkFrames = ToneGenerator::kSampleRate / 100;  // 10 ms between checks
constexpr unsigned kLowestFrequency = 37;
constexpr unsigned kHighestFrequency = 32767;

// ALSA reports to stderr by default; a missing sound device is normal here, not news.
void SilentAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsa() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(SilentAlsaErrors); });
}

}  // namespace

std::vector<std::int16_t> SineTone(unsigned frequency, unsigned sampleRate, std::size_t frames) {
    std::vector<std::int16_t> samples(frames, 0);
    if (sampleRate == 0 || frequency * 2 >= sampleRate) return samples;
    const std::size_t ramp = std::min<std::size_t>(kRampSamples, frames / 2);
    const double step = 2.0 * std::numbers::pi * frequency / sampleRate;
    for (std::size_t i = 0; i < frames; ++i) {
        double gain = 1.0;
        if (i < ramp) gain = static_cast<double>(i) / ramp;
        if (frames - 1 - i < ramp) gain = static_cast<double>(frames - 1 - i) / ramp;
        samples[i] = static_cast<std::int16_t>(std::lround(kAmplitude * gain * std::sin(step * i)));
    }
    return samples;
}

ToneGenerator::ToneGenerator(std::string device, std::string configuration)
    : m_device(std::move(device)), m_configuration(std::move(configuration)) {}

ToneGenerator::~ToneGenerator() {
    CloseDevice();
}

bool ToneGenerator::HasDevice() {
    std::lock_guard lock(m_mutex);
    return EnsureOpen();
}

bool ToneGenerator::Play(unsigned frequency, std::chrono::milliseconds duration) {
    if (frequency < kLowestFrequency || frequency > kHighestFrequency) return false;
    std::lock_guard lock(m_mutex);
    if (!EnsureOpen()) {
        SleepUnlessStopped(duration);
        return true;
    }
    const auto frames = static_cast<std::size_t>(duration.count()) * kSampleRate / 1000;
    if (!WriteFrames(SineTone(frequency, kSampleRate, frames))) return true;
    if (AfxStopRequested()) {
        snd_pcm_drop(m_pcm);
    } else {
        snd_pcm_drain(m_pcm);
    }
    // Both leave the device stopped; the next tone needs it ready again.
    snd_pcm_prepare(m_pcm);
    return true;
}

bool ToneGenerator::EnsureOpen() {
    if (!m_openTried) {
        m_openTried = true;
        OpenDevice();
    }
    return m_pcm != nullptr;
}

bool ToneGenerator::OpenDevice() {
    SilenceAlsa();
    snd_config_t* configuration = nullptr;
    if (!m_configuration.empty()) {
        snd_input_t* input = nullptr;
        if (snd_config_top(&configuration) < 0) return false;
        if (snd_input_buffer_open(&input, m_configuration.data(),
                                  static_cast<ssize_t>(m_configuration.size())) < 0) {
            snd_config_delete(configuration);
            return false;
        }
        const int loaded = snd_config_load(configuration, input);
        snd_input_close(input);
        if (loaded < 0) {
            snd_config_delete(configuration);
            return false;
        }
    }
    // Opened without blocking, so that a device held by another program fails at once instead
    // of holding the worker; writes block as usual afterwards.
    int opened =
        configuration != nullptr
            ? snd_pcm_open_lconf(&m_pcm, m_device.c_str(), SND_PCM_STREAM_PLAYBACK,
                                 SND_PCM_NONBLOCK, configuration)
            : snd_pcm_open(&m_pcm, m_device.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (configuration != nullptr) snd_config_delete(configuration);
    if (opened < 0) {
        m_pcm = nullptr;
        return false;
    }
    if (snd_pcm_nonblock(m_pcm, 0) < 0 ||
        snd_pcm_set_params(m_pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED, 1, kSampleRate,
                           1, kLatencyMicroseconds) < 0) {
        CloseDevice();
        return false;
    }
    return true;
}

bool ToneGenerator::WriteFrames(const std::vector<std::int16_t>& samples) {
    std::size_t written = 0;
    while (written < samples.size()) {
        if (AfxStopRequested()) return true;
        const std::size_t chunk = std::min(kChunkFrames, samples.size() - written);
        const snd_pcm_sframes_t result = snd_pcm_writei(m_pcm, samples.data() + written, chunk);
        if (result >= 0) {
            written += static_cast<std::size_t>(result);
        } else if (snd_pcm_recover(m_pcm, static_cast<int>(result), 1) < 0) {
            // The device went away: from now on the tones are silent.
            CloseDevice();
            return false;
        }
    }
    return true;
}

void ToneGenerator::CloseDevice() {
    if (m_pcm != nullptr) snd_pcm_close(m_pcm);
    m_pcm = nullptr;
}

}  // namespace linuxsvc

namespace win {

BOOL Beep(DWORD frequency, DWORD duration) {
    // Never destroyed: the worker may still be sounding a tone while the process ends.
    static auto* tone = new linuxsvc::ToneGenerator("default");
    return tone->Play(frequency, std::chrono::milliseconds(duration)) ? TRUE : FALSE;
}

}  // namespace win
