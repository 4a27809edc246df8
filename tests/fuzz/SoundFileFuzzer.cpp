// Feeds arbitrary bytes as a sound file through kavrel-render's reader (libsndfile, channel
// choice, span and rate conversion): every input either fails with a status and a message or
// gives samples, never more than its frames at the analysis rate could make.
#include "SoundFile.h"

#include <cstdlib>

namespace {

void Require(bool holds) {
    if (!holds) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte chooses the channel and the span, so that they are fuzzed too.
    const uint8_t choice = size > 0 ? data[0] : 0;
    SoundSpan span;
    span.channel = choice & 3u;
    span.side = (choice & 0x40) != 0;
    span.from = (choice >> 2 & 3u) * 0.01;
    // At most a minute: a header may claim a rate of 1 Hz, whose few bytes are hours of sound
    // (the tool streams them; this harness keeps them in memory).
    span.to = span.from + (choice & 0x80 ? 0.05 : 60.0);
    const SoundResult r = ReadSoundBytes(data + (size > 0), size - (size > 0), span);
    if (r.status != SoundStatus::Ok) {
        Require(!r.message.empty() && r.samples.empty());
        return 0;
    }
    // Left and right both take a mono file's channel; any other channel must exist.
    const bool monoSide = span.side && r.fileChannels == 1;
    Require(!r.samples.empty() && r.fileRate > 0 && (monoSide || span.channel < r.fileChannels));
    return 0;
}
