#include "audio/alsa/mixer.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>

#include "audio/alsa/alsa_backend.h"

namespace sonvel {

namespace {

// One role's element and which of its volumes it is.
struct Control {
    snd_mixer_elem_t* element = nullptr;
    bool capture = false;
    long min = 0;
    long max = 0;
};

Control FindControl(snd_mixer_t* mixer, MixerRole role) {
    snd_mixer_selem_id_t* id = nullptr;
    snd_mixer_selem_id_alloca(&id);
    for (const std::string& name : MixerElementNames(role)) {
        snd_mixer_selem_id_set_index(id, 0);
        snd_mixer_selem_id_set_name(id, name.c_str());
        snd_mixer_elem_t* element = snd_mixer_find_selem(mixer, id);
        if (element == nullptr) {
            continue;
        }
        Control control;
        control.element = element;
        // A source is set where it is recorded; the speaker where it plays.
        const bool prefer_capture = role != MixerRole::kSpeaker;
        const bool has_capture = snd_mixer_selem_has_capture_volume(element) != 0;
        const bool has_playback = snd_mixer_selem_has_playback_volume(element) != 0;
        if (has_capture && (prefer_capture || !has_playback)) {
            control.capture = true;
            snd_mixer_selem_get_capture_volume_range(element, &control.min, &control.max);
        } else if (has_playback) {
            snd_mixer_selem_get_playback_volume_range(element, &control.min, &control.max);
        } else {
            continue;
        }
        if (control.max > control.min) {
            return control;
        }
    }
    return {};
}

}  // namespace

struct Mixer::State {
    snd_mixer_t* mixer = nullptr;
    Control controls[3];

    const Control& Of(MixerRole role) const { return controls[static_cast<int>(role)]; }
};

std::vector<std::string> MixerElementNames(MixerRole role) {
    switch (role) {
        case MixerRole::kSpeaker:
            return {"Master", "PCM", "Speaker"};
        case MixerRole::kMicrophone:
            return {"Capture", "Mic"};
        case MixerRole::kLine:
            return {"Line"};
    }
    return {};
}

long ScaleToElement(uint32_t value, long min, long max) {
    const auto span = static_cast<int64_t>(max) - min;
    const int64_t clamped = std::min<int64_t>(value, kMixerFullScale);
    return static_cast<long>(min + (clamped * span + kMixerFullScale / 2) / kMixerFullScale);
}

uint32_t ScaleFromElement(long value, long min, long max) {
    if (max <= min) {
        return 0;
    }
    const int64_t span = static_cast<int64_t>(max) - min;
    const int64_t offset = std::clamp<int64_t>(static_cast<int64_t>(value) - min, 0, span);
    return static_cast<uint32_t>((offset * kMixerFullScale + span / 2) / span);
}

MMRESULT Mixer::Open(const std::string& device, std::unique_ptr<Mixer>* mixer) {
    if (mixer == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    QuietAlsaErrors();
    auto state = std::make_unique<State>();
    int error = snd_mixer_open(&state->mixer, 0);
    if (error < 0) {
        return AlsaResult(error);
    }
    error = snd_mixer_attach(state->mixer, device.c_str());
    if (error >= 0) {
        error = snd_mixer_selem_register(state->mixer, nullptr, nullptr);
    }
    if (error >= 0) {
        error = snd_mixer_load(state->mixer);
    }
    if (error < 0) {
        snd_mixer_close(state->mixer);
        return AlsaResult(error);
    }
    for (MixerRole role : {MixerRole::kSpeaker, MixerRole::kMicrophone, MixerRole::kLine}) {
        state->controls[static_cast<int>(role)] = FindControl(state->mixer, role);
    }
    mixer->reset(new Mixer(std::move(state)));
    return MMSYSERR_NOERROR;
}

Mixer::Mixer(std::unique_ptr<State> state) : state_(std::move(state)) {}

Mixer::~Mixer() {
    snd_mixer_close(state_->mixer);
}

bool Mixer::Has(MixerRole role) const {
    return state_->Of(role).element != nullptr;
}

uint32_t Mixer::MaxVolume(MixerRole role) const {
    return Has(role) ? kMixerFullScale : 0;
}

MMRESULT Mixer::SetVolume(MixerRole role, uint32_t value) {
    const Control& control = state_->Of(role);
    if (control.element == nullptr) {
        return MIXERR_INVALLINE;
    }
    if (value > kMixerFullScale) {
        return MIXERR_INVALVALUE;
    }
    const long level = ScaleToElement(value, control.min, control.max);
    const int error = control.capture
                          ? snd_mixer_selem_set_capture_volume_all(control.element, level)
                          : snd_mixer_selem_set_playback_volume_all(control.element, level);
    return error < 0 ? AlsaResult(error) : MMSYSERR_NOERROR;
}

MMRESULT Mixer::GetVolume(MixerRole role, uint32_t* value) const {
    const Control& control = state_->Of(role);
    if (value == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (control.element == nullptr) {
        return MIXERR_INVALLINE;
    }
    // Another program may have changed it since we loaded.
    snd_mixer_handle_events(state_->mixer);
    long level = 0;
    const int error = control.capture ? snd_mixer_selem_get_capture_volume(
                                            control.element, SND_MIXER_SCHN_FRONT_LEFT, &level)
                                      : snd_mixer_selem_get_playback_volume(
                                            control.element, SND_MIXER_SCHN_FRONT_LEFT, &level);
    if (error < 0) {
        return AlsaResult(error);
    }
    *value = ScaleFromElement(level, control.min, control.max);
    return MMSYSERR_NOERROR;
}

}  // namespace sonvel
