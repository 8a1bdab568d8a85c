#pragma once
// Speaker, microphone and line-in volume on ALSA's simple mixer elements.
// Volumes are 0..65535 and are spread over each element's own range.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/base/mm_result.h"

namespace sonvel {

enum class MixerRole { kSpeaker, kMicrophone, kLine };

inline constexpr uint32_t kMixerFullScale = 65535;

// Element names tried for a role, first match wins (drivers name them differently).
std::vector<std::string> MixerElementNames(MixerRole role);

class Mixer {
  public:
    // Opens the mixer of `device` ("default", "hw:0", ...).
    static MMRESULT Open(const std::string& device, std::unique_ptr<Mixer>* mixer);
    ~Mixer();
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    bool Has(MixerRole role) const;
    // 0..kMixerFullScale on all channels; MIXERR_INVALLINE without such an element,
    // MIXERR_INVALVALUE above full scale.
    MMRESULT SetVolume(MixerRole role, uint32_t value);
    // The first channel's volume on the same scale.
    MMRESULT GetVolume(MixerRole role, uint32_t* value) const;
    // kMixerFullScale when the role has a volume, else 0.
    uint32_t MaxVolume(MixerRole role) const;

  private:
    struct State;
    explicit Mixer(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

// Maps between the 0..65535 scale and an element's min..max, rounding.
long ScaleToElement(uint32_t value, long min, long max);
uint32_t ScaleFromElement(long value, long min, long max);

}  // namespace sonvel
