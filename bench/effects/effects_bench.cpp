// Frames per second of each host-side effect on one core (items/s = frames/s).
#include <benchmark/benchmark.h>

#include "devices/lighting/effects.h"
#include "devices/lighting/key_renderers.h"
#include "devices/lighting/music_renderers.h"

namespace q731 {
namespace {

LightSetting Light() {
    LightSetting light;
    light.brightness = 4;
    light.speed = 2;
    light.direction = 1;
    light.multiColor = 1;
    light.red = 200;
    return light;
}

template <typename Render>
void Frames(benchmark::State& state, int leds, Render render) {
    LedColourList list(static_cast<std::size_t>(leds));
    EffectCounters counters;
    SteadyTime now{};
    for (auto _ : state) {
        render(list, counters, now);
        now += Millis(14);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_BreatheColours(benchmark::State& state) {
    Frames(state, static_cast<int>(state.range(0)),
           [](LedColourList& l, EffectCounters& c, SteadyTime) { BreatheColours(Light(), c, l); });
}
void BM_Spectrum(benchmark::State& state) {
    Frames(state, static_cast<int>(state.range(0)),
           [](LedColourList& l, EffectCounters& c, SteadyTime) { ShowSpectrum(Light(), c, l); });
}
void BM_Blink(benchmark::State& state) {
    Frames(state, static_cast<int>(state.range(0)),
           [](LedColourList& l, EffectCounters& c, SteadyTime t) { ShowBlink(Light(), c, l, t); });
}
void BM_MouseWave(benchmark::State& state) {
    MouseEffects mouse;
    Frames(state, 15,
           [&](LedColourList& l, EffectCounters&, SteadyTime) { mouse.ShowWave(Light(), l); });
}
void BM_MouseRipple(benchmark::State& state) {
    MouseEffects mouse;
    Frames(state, 15,
           [&](LedColourList& l, EffectCounters&, SteadyTime) { mouse.ShowRipple(Light(), 9, l); });
}
void BM_MouseReactive(benchmark::State& state) {
    MouseEffects mouse;
    std::mt19937 random(1);
    int frame = 0;
    Frames(state, 15, [&](LedColourList& l, EffectCounters&, SteadyTime) {
        if (++frame % 20 == 0) mouse.TriggerReactive(random);
        mouse.ShowReactive(Light(), l);
    });
}
void BM_TimedSteps(benchmark::State& state) {
    TimedSteps steps;
    LedEffectStep step;
    step.light = Light();
    step.light.selectItem = 4;
    step.time = 1000;
    steps.SetSteps({step, step});
    Frames(state, static_cast<int>(state.range(0)),
           [&](LedColourList& l, EffectCounters&, SteadyTime t) { steps.Render(l, t, 2); });
}

// The keyboard's per-key renderers, by mode, with colours from the wheel.
void BM_KeyboardMode(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    LightSetting light = Light();
    KeyEffects effects;
    effects.Clear();
    effects.StartMode(mode);
    LedColourList list(170);
    std::mt19937 random(1);
    for (auto _ : state) {
        RenderKeyFrame(mode, light, effects, list, random);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}

// The music mode's renderers, by audio mode, with fresh levels every frame
// (the worst case: every bar moves) and colours from the wheel.
void BM_AudioMode(benchmark::State& state) {
    AudioLightSetting audio;
    audio.audioMode = static_cast<std::uint8_t>(state.range(0));
    audio.sevenColors = 1;
    const LightSetting light = Light();
    KeyEffects effects;
    effects.Clear();
    LedColourList list(170);
    std::mt19937 random(1);
    std::int32_t level = 0;
    for (auto _ : state) {
        for (std::int32_t& value : effects.musicLevels) {
            level = (level + 337) % 2600;
            value = level;
        }
        if (audio.audioMode == 2 && level % 3 == 0) effects.StartRipple(51, 1);
        RenderMusicFrame(audio, light, effects, list, random);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_KeyboardMode)->DenseRange(1, 3)->DenseRange(5, 16)->Arg(18)->Arg(22)->Arg(24)->Arg(29);
BENCHMARK(BM_AudioMode)->DenseRange(0, kAudioModes - 1);
BENCHMARK(BM_BreatheColours)->Arg(15)->Arg(170);
BENCHMARK(BM_Spectrum)->Arg(15)->Arg(170);
BENCHMARK(BM_Blink)->Arg(15)->Arg(170);
BENCHMARK(BM_MouseWave);
BENCHMARK(BM_MouseRipple);
BENCHMARK(BM_MouseReactive);
BENCHMARK(BM_TimedSteps)->Arg(15)->Arg(170);

}  // namespace
}  // namespace q731

BENCHMARK_MAIN();
