#pragma once

#include "platform/Sounds.h"

#include <functional>
#include <vector>

namespace sonarel::doubles {

// Plays nothing; keeps what it was asked to play, in order, and tells `onPlay` at each.
class RecordingSoundPlayer : public SoundPlayer {
public:
    void play(Sound sound) override {
        played.push_back(sound);
        if (onPlay) {
            onPlay(sound);
        }
    }

    std::vector<Sound> played;
    std::function<void(Sound)> onPlay;
};

}  // namespace sonarel::doubles
