// The keyboard's per-key renderers: the Part's edge cases, and every mode with
// every direction and colour choice for 2,000 frames (the sanitizers watch
// every index).

#include "devices/lighting/key_renderers.h"

#include <gtest/gtest.h>

#include "devices/lighting/key_effect_tables.h"
#include "devices/lighting/keyboard_layout.h"
#include "devices/lighting/lighting_tables.h"

namespace q731 {
namespace {

struct Keyboard {
    explicit Keyboard(int mode, int fx = 1, int multi = 0) {
        light.selectItem = static_cast<std::uint8_t>(mode);
        light.brightness = 4;
        light.speed = 2;
        light.direction = static_cast<std::uint8_t>(fx);
        light.multiColor = static_cast<std::uint8_t>(multi);
        light.red = 200;
        light.green = 100;
        light.blue = 50;
        state.Clear();
        state.StartMode(mode);
    }
    bool Frame() { return RenderKeyFrame(light.selectItem, light, state, leds, random); }

    LightSetting light;
    KeyEffects state;
    LedColourList leds{200};  // room past the keys, which no renderer may touch
    std::mt19937 random{1234};
};

TEST(KeyRenderers, EdgeCasesOfTheModes) {
    // Mode 1 without colours at p = 95 after the step: columns 0 and 1 use
    // curve entries 0 and 2.
    Keyboard wave(1, 1, 0);
    wave.state.position = 94;
    ASSERT_TRUE(wave.Frame());
    EXPECT_EQ(wave.leds.Get(KeyMatrixCell(0, 4)).brightness, 255 * kBreathCurve96[0] / 256);
    EXPECT_EQ(wave.leds.Get(KeyMatrixCell(1, 1)).brightness, 255 * kBreathCurve96[2] / 256);

    // Mode 5 never touches the bottom row or columns 15-22.
    Keyboard breathe(5);
    breathe.leds.Fill({1, 2, 3, 4});
    for (int i = 0; i < 300; ++i)
        breathe.Frame();
    for (int column = 0; column < kKeyMatrixColumns; ++column) {
        for (int row = 0; row < kKeyMatrixRows; ++row) {
            const int key = KeyMatrixCell(column, row);
            if (key >= 170 || (column < 15 && row < 5)) continue;
            EXPECT_EQ(breathe.leds.Get(static_cast<std::size_t>(key)), (LedColour{1, 2, 3, 4}))
                << column << "," << row;
        }
    }

    // Mode 29 with Fx 1 lights Escape again from entry 126 until p passes 169.
    Keyboard sequence(29, 1);
    std::vector<int> escapeLit;
    for (int frame = 0; frame <= 170; ++frame) {  // entries 0-169, then p starts over
        const int entry = sequence.state.position;
        sequence.state.intensity[0] = 0;
        sequence.Frame();
        if (sequence.state.intensity[0] != 0) escapeLit.push_back(entry);
    }
    ASSERT_FALSE(escapeLit.empty());
    EXPECT_EQ(escapeLit[0], 0);
    EXPECT_EQ(escapeLit[1], 126);
    EXPECT_EQ(escapeLit.back(), 169);

    // After a change to mode 13 the first wave step comes on the third frame.
    Keyboard fountain(13);
    const auto combined = [&] { return fountain.state.Combined(9); };
    fountain.Frame();
    fountain.Frame();
    EXPECT_EQ(combined(), 1u << 6) << "no step in the first two frames";
    fountain.Frame();
    const unsigned third = combined();
    EXPECT_TRUE(third & (1u << 5)) << "the start point moved up a row";
    fountain.Frame();
    EXPECT_EQ(combined(), third) << "none on the fourth";
    fountain.Frame();
    EXPECT_NE(combined(), third) << "then every second frame";
}

TEST(KeyRenderers, EveryModeDirectionAndColourChoiceStaysInItsTables) {
    int drawn = 0;
    for (int mode = 0; mode <= 31; ++mode) {
        if (!HasKeyRenderer(mode)) {
            Keyboard none(mode);
            EXPECT_FALSE(none.Frame()) << mode;
            continue;
        }
        for (int fx = 0; fx <= 1; ++fx) {
            for (int multi = 0; multi <= 1; ++multi) {
                Keyboard keyboard(mode, fx, multi);
                keyboard.leds.Fill({1, 2, 3, 4});
                for (int frame = 0; frame < 2000; ++frame)
                    ASSERT_TRUE(keyboard.Frame());
                for (std::size_t led = 170; led < keyboard.leds.Size(); ++led)
                    ASSERT_EQ(keyboard.leds.Get(led), (LedColour{1, 2, 3, 4})) << mode;
                ++drawn;
            }
        }
    }
    EXPECT_EQ(drawn, 20 * 4);
}

}  // namespace
}  // namespace q731
