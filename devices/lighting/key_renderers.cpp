#include "devices/lighting/key_renderers.h"

#include "devices/lighting/key_effect_tables.h"
#include "devices/lighting/keyboard_layout.h"
#include "devices/lighting/lighting_tables.h"

namespace q731 {

using namespace key_effects;

namespace {

// The drawing context of one frame.
struct Frame {
    const LightSetting& light;
    KeyEffects& s;
    LedColourList& leds;
    std::mt19937& random;

    int B() const { return BrightnessOfLevel(light.brightness); }
    bool Multi() const { return light.multiColor != 0; }
    int Fx() const { return light.direction == 1 ? 1 : 0; }
    Rgb Single() const { return {light.red, light.green, light.blue}; }
    Rgb ColourOf(int key) const {
        return Multi() ? WheelColour(s.colour[static_cast<std::size_t>(key)]) : Single();
    }
    std::uint8_t Random192() const { return static_cast<std::uint8_t>(random() % 192); }

    void Set(int key, Rgb colour, int brightness) const {
        if (IsKey(key)) leds.Set(static_cast<std::size_t>(key), LedColour::Of(colour, brightness));
    }
    // The key's colour at level x (0-255) of the brightness.
    void DrawAt(int key, int level) const {
        if (IsKey(key)) Set(key, ColourOf(key), B() * level / 256);
    }
    void DrawPlain(int key) const {
        if (IsKey(key)) Set(key, ColourOf(key), B());
    }
    void Light(int key) const {
        if (!IsKey(key)) return;
        s.intensity[static_cast<std::size_t>(key)] = 255;
        if (Multi()) s.colour[static_cast<std::size_t>(key)] = Random192();
    }
    // p one step along a ring of `modulus` in the direction "Fx" gives.
    int Advance(int modulus) const {
        s.position = static_cast<std::uint8_t>(StepPosition(Fx(), modulus, s.position, 1));
        return s.position;
    }
    template <typename Each>
    void ForColumn(int column, Each each) const {
        for (int row = 0; row < kKeyMatrixRows; ++row)
            each(KeyMatrixCell(column, row));
    }
    void DecayAndDrawAll(int kind) const {
        for (int key = 0; key < KeyEffects::kKeys; ++key) {
            s.Decay(key, kind);
            DrawAt(key, s.intensity[static_cast<std::size_t>(key)]);
        }
    }
    void DecayAndDrawEffectKeys(int kind) const {
        for (std::uint8_t key : kEffectKeyList) {
            s.Decay(key, kind);
            DrawAt(key, s.intensity[key]);
        }
    }
};

void ColumnWave(const Frame& f, bool sweep) {
    if (f.Multi()) {
        const int p = f.Advance(192);
        for (int column = 0; column < KeyEffects::kColumns; ++column) {
            const Rgb colour =
                WheelColour(sweep ? (p + 2 * column) % 192 : (p + 1 + 7 * column) % 192);
            f.ForColumn(column, [&](int key) { f.Set(key, colour, f.B()); });
        }
        return;
    }
    const int p = f.Advance(96);
    for (int column = 0; column < KeyEffects::kColumns; ++column) {
        const int level = sweep
                              ? kFadeCurve[static_cast<std::size_t>((p + 5 * column) % 96)]
                              : kBreathCurve96[static_cast<std::size_t>((p + 1 + 2 * column) % 96)];
        f.ForColumn(column, [&](int key) { f.Set(key, f.Single(), f.B() * level / 256); });
    }
}

void Rainbow(const Frame& f) {
    const int p = f.Advance(f.Multi() ? 192 : 96);
    for (int n = 0; n < kEffectKeys; ++n) {
        const int key = kEffectKeyList[static_cast<std::size_t>(n)];
        if (f.Multi()) {
            f.Set(key, WheelColour((p + 5 * n) % 192), f.B());
        } else {
            const int level = kBreathCurve96[static_cast<std::size_t>((p + 5 * n) % 96)];
            f.Set(key, f.Single(), f.B() * level / 256);
        }
    }
}

void BlockBreathing(const Frame& f) {
    f.s.position = static_cast<std::uint8_t>((f.s.position + 1) % 128);
    const int level = kBreathCurve128[f.s.position];
    for (int column = 0; column < 15; ++column) {
        const Rgb colour = f.Multi() ? WheelColour(7 * column) : f.Single();
        for (int row = 0; row < 5; ++row)
            f.Set(KeyMatrixCell(column, row), colour, level * f.B() / 256);
    }
}

void Static(const Frame& f) {
    if (!f.Multi()) {
        for (int key = 0; key < static_cast<int>(f.leds.Size()) && key < KeyEffects::kKeys; ++key)
            f.Set(key, f.Single(), f.B());
        return;
    }
    for (int row = 0; row < kDiagonalRows; ++row) {
        const Rgb colour = WheelColour(138 - 12 * row);
        for (std::uint8_t cell : kDiagonals[static_cast<std::size_t>(row)])
            f.Set(FindEffectKey(cell), colour, f.B());
    }
}

void ReactiveFade(const Frame& f) {
    for (int key = 0; key < KeyEffects::kKeys; ++key) {
        const auto k = static_cast<std::size_t>(key);
        std::uint8_t& v = f.s.intensity[k];
        if (f.s.reactive[k] == 1) v = static_cast<std::uint8_t>(v > 240 ? 255 : v + 15);
        if (f.s.reactive[k] == 2) v = static_cast<std::uint8_t>(v < 5 ? 0 : v - 5);
        f.DrawAt(key, v);
    }
}

void Fountain(const Frame& f, int mode) {
    if (f.s.Combined(9) == 1) f.s.SetAll(9, 1u);
    if (f.s.Combined(9) == 64) f.s.SetAll(9, 1u << 6);
    // F counts up to 2, where the waves step and it starts again from 1: the
    // first step comes on the third frame after a mode change, then every
    // second frame.
    if (f.s.frame >= 2) {
        f.s.frame = 1;
        f.s.Ignite(f.Multi(), f.random);
        f.s.Spread();
    } else {
        ++f.s.frame;
    }
    f.DecayAndDrawAll(mode);
}

void Script(const Frame& f, int mode) {
    KeyEffects& s = f.s;
    switch (s.frame) {
        case 0:
            for (std::uint8_t key : kScriptOpening[static_cast<std::size_t>(s.position % 16)])
                f.Light(key);
            if (++s.position > 15) {
                s.position = 0;
                s.frame = 1;
            }
            break;
        case 1:
            if (s.position <= 30) {
                for (std::uint8_t key : kScriptPairs[static_cast<std::size_t>(s.position % 16)])
                    f.Light(key);
                ++s.position;
            } else if (s.intensity[72] == 0) {
                s.frame = 2;
                s.position = 0;
            }
            break;
        case 2:
            s.StartRipple(52, 1);
            s.frame = 3;
            break;
        case 3:
            s.Ignite(f.Multi(), f.random);
            s.Spread();
            if (s.intensity[105] != 0) s.frame = 4;
            break;
        default:
            if (s.intensity[105] != 0) {
                s.frame = 0;
                s.position = 0;
            }
            break;
    }
    f.DecayAndDrawAll(mode);
}

void Ramp(const Frame& f, KeyEffects::KeyBytes& counter, int step) {
    for (std::uint8_t key : kEffectKeyList) {
        int value = counter[key] + step;
        if (value >= 192) {
            value = 0;
            f.s.colour[key] = f.Random192();
        }
        counter[key] = static_cast<std::uint8_t>(value);
        f.Set(key, f.ColourOf(key), f.B() * kFadeCurve[static_cast<std::size_t>(value)] / 256);
    }
}

void Sweep(const Frame& f) {
    const int p = f.Advance(kSweepRows);
    for (std::uint8_t key : kSweepTable[static_cast<std::size_t>(p)]) {
        if (!IsKey(key)) continue;
        f.s.intensity[key] = 255;
        f.s.colour[key] = 0;
    }
    for (int key = 0; key < KeyEffects::kKeys; ++key) {
        const auto k = static_cast<std::size_t>(key);
        if (f.s.intensity[k] != 0)
            f.s.intensity[k] = static_cast<std::uint8_t>(f.s.intensity[k] - 5);
        if (f.s.colour[k] != 255) f.s.colour[k] = static_cast<std::uint8_t>(f.s.colour[k] + 3);
        if (f.Multi()) {
            f.Set(key, WheelColour(f.s.colour[k]), f.B());
        } else {
            f.Set(key, f.Single(), f.B() * f.s.intensity[k] / 256);
        }
    }
}

void KeySequence(const Frame& f) {
    KeyEffects& s = f.s;
    if (f.Fx() == 1) {
        if (s.position > 169) {
            s.position = 0;
        } else {
            const std::uint8_t key = kSequenceOrder[s.position];
            if (IsKey(key)) s.intensity[key] = 254;
            ++s.position;
        }
    } else if (s.position != 0) {
        if (s.position < kSequenceEntries) {
            const std::uint8_t key = kSequenceOrder[s.position];
            if (IsKey(key)) s.intensity[key] = 254;
        }
        --s.position;
    } else {
        s.position = 170;
    }
    f.DecayAndDrawEffectKeys(29);
}

}  // namespace

bool HasKeyRenderer(int mode) {
    switch (mode) {
        case 1:
        case 2:
        case 3:
        case 5:
        case 6:
        case 7:
        case 8:
        case 9:
        case 10:
        case 11:
        case 12:
        case 13:
        case 14:
        case 15:
        case 16:
        case 18:
        case 22:
        case 24:
        case 25:
        case 29:
            return true;
        default:
            return false;
    }
}

bool RenderKeyFrame(int mode, const LightSetting& light, KeyEffects& state, LedColourList& leds,
                    std::mt19937& random) {
    const Frame f{light, state, leds, random};
    switch (mode) {
        case 1:
            ColumnWave(f, false);
            return true;
        case 2:
            ColumnWave(f, true);
            return true;
        case 3:
            Rainbow(f);
            return true;
        case 5:
            BlockBreathing(f);
            return true;
        case 6:
            Static(f);
            return true;
        case 7:
        case 25:
            ReactiveFade(f);
            return true;
        case 8:
            state.Ignite(f.Multi(), random);
            state.Spread();
            for (int key = 0; key < KeyEffects::kKeys; ++key) {
                state.Decay(key, mode);
                state.colour[static_cast<std::size_t>(key)] = static_cast<std::uint8_t>(
                    (state.colour[static_cast<std::size_t>(key)] + 7) % 192);
                f.DrawAt(key, state.intensity[static_cast<std::size_t>(key)]);
            }
            return true;
        case 9:
            state.Ignite(f.Multi(), random);
            state.Slide();
            for (int key = 0; key < 100; ++key) {
                state.Decay(key, mode);
                f.DrawAt(key, state.intensity[static_cast<std::size_t>(key)]);
            }
            return true;
        case 10:
            for (int i = 0; i < 6; ++i) {
                const int key = kSparkleKeys[kSparkleOrder[random() % kSparkleOrder.size()]];
                state.colour[static_cast<std::size_t>(key)] = f.Random192();
                state.intensity[static_cast<std::size_t>(key)] = 255;
            }
            f.DecayAndDrawAll(10);
            return true;
        case 11:
            for (int key = 0; key < KeyEffects::kKeys; ++key) {
                auto& colour = state.colour[static_cast<std::size_t>(key)];
                colour = static_cast<std::uint8_t>(colour + 1 >= 192 ? 0 : colour + 1);
                f.Set(key, WheelColour(colour), f.B());
            }
            return true;
        case 12: {
            const int p = f.Advance(192);
            for (int row = 0; row < kKeyMatrixRows; ++row) {
                const Rgb colour = WheelColour((p + 1 + 24 * row) % 192);
                for (int column = 0; column < KeyEffects::kColumns; ++column)
                    f.Set(KeyMatrixCell(column, row), colour, f.B());
            }
            return true;
        }
        case 13:
            Fountain(f, mode);
            return true;
        case 14:
            Script(f, mode);
            return true;
        case 15:
            Ramp(f, state.intensity, 2);
            return true;
        case 16:
            if (state.Combined(1) == 1) state.SetAll(1, 1u);
            if (state.Combined(22) == 64) state.SetAll(22, 1u << 6);
            state.Ignite(f.Multi(), random);
            state.Spread();
            f.DecayAndDrawEffectKeys(mode);
            return true;
        case 18: {
            int a = f.Advance(192);
            for (int row = 0; row < kDiagonalRows; ++row) {
                a = (a + 7) % 192;
                for (std::uint8_t cell : kDiagonals[static_cast<std::size_t>(row)])
                    f.Set(FindEffectKey(cell), WheelColour(a), f.B());
            }
            return true;
        }
        case 22:
            Ramp(f, state.phase, 1);
            return true;
        case 24:
            Sweep(f);
            return true;
        case 29:
            KeySequence(f);
            return true;
        default:
            return false;
    }
}

}  // namespace q731
