#include <gtest/gtest.h>

#include <set>

#include "devices/keys/key_codes.h"
#include "devices/keys/key_list.h"

namespace q731 {
namespace {

constexpr AssignmentCode kDefault{0x10, 0x01, 0x00};
constexpr AssignmentCode kPrevious{0x20, 0x00, 0x04};

KeySelection Motion(KeyCategory category, int delay, int speed, int count, int direction) {
    KeySelection selection;
    selection.category = category;
    selection.delay = delay;
    selection.speed = speed;
    selection.count = count;
    selection.direction = direction;
    return selection;
}

TEST(KeyCodes, WorkedExamples) {
    EXPECT_EQ(EncodeSelection(Motion(KeyCategory::Wheel, 2, 5, 3, 1), kPrevious, kDefault, 0),
              (AssignmentCode{0x12, 0x25, 0xFD}));
    EXPECT_EQ(EncodeSelection(Motion(KeyCategory::Swing, 2, 5, 3, 1), kPrevious, kDefault, 0),
              (AssignmentCode{0x11, 0x25, 0x83}));
    // Ctrl+Shift+A: two modifier bits show as "none" and drop from the working code.
    const ShownCode shown = ShowCode({0x20, 0x03, 0x04}, kDefault);
    EXPECT_EQ(shown.selection.category, KeyCategory::KeyboardKey);
    EXPECT_EQ(shown.selection.modifierOption, 0);
    EXPECT_EQ(shown.selection.keyUsage, 0x04);
    EXPECT_EQ(shown.workingCode, (AssignmentCode{0x20, 0x00, 0x04}));
    // The key's own default shows the default category whatever its type.
    EXPECT_EQ(ShowCode({0x13, 0x02, 0x00}, {0x13, 0x02, 0x00}).selection.category,
              KeyCategory::Default);
    EXPECT_EQ(AssignmentCode::FromInt(0x700102), (AssignmentCode{0x70, 0x01, 0x02}));
    EXPECT_EQ((AssignmentCode{0x70, 0x01, 0x02}).ToInt(), 0x700102u);
}

TEST(KeyCodes, EveryListEntryRoundTrips) {
    struct ListCase {
        KeyCategory category;
        std::vector<AssignmentCode> codes;
    };
    const ListCase lists[] = {
        {KeyCategory::MouseButton, {kMouseButtonList.begin(), kMouseButtonList.end()}},
        {KeyCategory::Dpi, {kDpiList.begin(), kDpiList.end()}},
        {KeyCategory::Media, {kMediaList.begin(), kMediaList.end()}},
        {KeyCategory::System, {kSystemList.begin(), kSystemList.end()}},
    };
    const AssignmentCode unrelatedDefault{0x16, 0x99, 0x99};
    for (const ListCase& list : lists) {
        for (int index = 0; index < static_cast<int>(list.codes.size()); ++index) {
            KeySelection selection;
            selection.category = list.category;
            selection.listIndex = index;
            const AssignmentCode code = EncodeSelection(selection, kPrevious, unrelatedDefault, 0);
            EXPECT_EQ(code, list.codes[index]);
            const ShownCode shown = ShowCode(code, unrelatedDefault);
            EXPECT_EQ(shown.selection.category, list.category);
            EXPECT_EQ(shown.selection.listIndex, index);
            EXPECT_EQ(shown.workingCode, code);
        }
        KeySelection outOfRange;
        outOfRange.category = list.category;
        outOfRange.listIndex = static_cast<int>(list.codes.size());
        EXPECT_EQ(EncodeSelection(outOfRange, kPrevious, unrelatedDefault, 0), kPrevious);
    }
    // Shortcuts are Ctrl + key codes: they show as a keyboard key with Ctrl.
    for (const AssignmentCode& shortcut : kShortcutList) {
        EXPECT_EQ(shortcut.value1, 0x01);
        const ShownCode shown = ShowCode(shortcut, unrelatedDefault);
        EXPECT_EQ(shown.selection.category, KeyCategory::KeyboardKey);
        EXPECT_EQ(shown.selection.modifierOption, 1);
    }
}

TEST(KeyCodes, SwingWheelAndFireSweepsRoundTripAndClamp) {
    for (KeyCategory category : {KeyCategory::Swing, KeyCategory::Wheel}) {
        for (int delay = 0; delay < 16; ++delay) {
            for (int count = 0; count < 128; ++count) {
                for (int direction = 0; direction < 2; ++direction) {
                    const KeySelection selection =
                        Motion(category, delay, 15 - delay, count, direction);
                    const AssignmentCode code = EncodeSelection(selection, kPrevious, kDefault, 0);
                    const KeySelection back = ShowCode(code, kDefault).selection;
                    ASSERT_EQ(back.delay, delay);
                    ASSERT_EQ(back.speed, 15 - delay);
                    ASSERT_EQ(back.count, count) << "direction " << direction;
                    ASSERT_EQ(back.direction, direction);
                }
            }
        }
        // Out-of-range entries are clamped, never cut to their low bits.
        const AssignmentCode big =
            EncodeSelection(Motion(category, 99, -4, 200, 0), kPrevious, kDefault, 0);
        EXPECT_EQ(big.value1, 0xF0);
        EXPECT_EQ(big.value2, 127) << "a count of 200 must not become 72";
    }
    for (int interval : {0, 1, 100, 255, 256, 1000}) {
        KeySelection fire;
        fire.category = KeyCategory::Fire;
        fire.interval = interval;
        fire.fireCount = 300 - interval;
        const AssignmentCode code = EncodeSelection(fire, kPrevious, kDefault, 0);
        EXPECT_EQ(code.value1, std::min(interval, 255));
        EXPECT_EQ(code.value2, std::clamp(300 - interval, 0, 255));
        EXPECT_EQ(ShowCode(code, kDefault).selection.interval, code.value1);
    }
}

TEST(KeyCodes, ModifierOptionsAndAllEightBits) {
    for (int option = 0; option < kModifierOptionCount; ++option) {
        KeySelection key;
        key.category = KeyCategory::KeyboardKey;
        key.modifierOption = option;
        key.keyUsage = 0x29;  // Escape
        const AssignmentCode code = EncodeSelection(key, kPrevious, kDefault, 0);
        EXPECT_EQ(code.value1, option == 0 ? 0 : 1 << (option - 1));
        EXPECT_EQ(ShowCode(code, kDefault).selection.modifierOption, option);
    }
    const int expectedOption[8] = {1, 2, 3, 4, 1, 2, 3, 4};  // left and right alike
    for (int bit = 0; bit < 8; ++bit) {
        const AssignmentCode code{0x20, static_cast<std::uint8_t>(1 << bit), 0x04};
        const ShownCode shown = ShowCode(code, kDefault);
        if (bit == 7) {
            // 0x80 is above 128 only with more bits; alone it is a single modifier.
            EXPECT_EQ(shown.selection.modifierOption, 4);
        } else {
            EXPECT_EQ(shown.selection.modifierOption, expectedOption[bit]) << "bit " << bit;
        }
        EXPECT_EQ(shown.workingCode, code);
    }
    // A usage the key list does not know clears the working code.
    const ShownCode unknown = ShowCode({0x20, 0x01, 0xE7}, kDefault);
    EXPECT_EQ(unknown.workingCode, (AssignmentCode{0x20, 0, 0}));
}

TEST(KeyCodes, MacroAndGunSelections) {
    KeySelection macro;
    macro.category = KeyCategory::Macro;
    macro.macroIndex = 2;
    macro.repeatEntry = 3;
    EXPECT_EQ(EncodeSelection(macro, kPrevious, kDefault, 3), (AssignmentCode{0x70, 2, 3}));
    EXPECT_EQ(EncodeSelection(macro, kPrevious, kDefault, 2), kPrevious) << "beyond the list";
    macro.macroIndex = -1;
    EXPECT_EQ(EncodeSelection(macro, kPrevious, kDefault, 3), kPrevious) << "none selected";
    macro.macroIndex = 1;
    macro.repeatEntry = kRepeatCountedEntry;
    macro.repeatCount = 200;
    const AssignmentCode counted = EncodeSelection(macro, kPrevious, kDefault, 3);
    EXPECT_EQ(counted, (AssignmentCode{0x71, 1, 200}));
    EXPECT_EQ(ShowCode(counted, kDefault).selection, macro);

    KeySelection gun;
    gun.category = KeyCategory::GunKey;
    gun.listIndex = 3;
    EXPECT_EQ(EncodeSelection(gun, kPrevious, kDefault, 0), (AssignmentCode{0x72, 3, 0}));
    KeySelection restore;
    restore.category = KeyCategory::Default;
    EXPECT_EQ(EncodeSelection(restore, kPrevious, kDefault, 0), kDefault);
    EXPECT_EQ(ShowCode({0xB0, 1, 2}, kDefault).selection.category, KeyCategory::Shortcut);
    EXPECT_EQ(ShowCode({0x99, 1, 2}, kDefault).selection.category, KeyCategory::None);
}

TEST(KeyList, TellingRowsAndShape) {
    struct Row {
        int index;
        std::string_view name;
        int virtualKey;
        AssignmentCode code;
    };
    const Row rows[] = {
        {0, "keyboard_key_LCtrl", 162, {0x20, 0x01, 0x00}},
        {7, "keyboard_key_RWin", 92, {0x20, 0x80, 0x00}},
        {8, "keyboard_key_A", 65, {0x20, 0x00, 0x04}},
        {91, "keyboard_key_Num Enter", 257, {0x20, 0x00, 0x58}},
        {104, "keyboard_key_K45", 226, {0x20, 0x00, 0x64}},
        {106, "keyboard_key_K14", 255, {0x20, 0x00, 0x89}},
        {113, "keyboard_key_K42", 191, {0x20, 0x00, 0x32}},
        {114, "keyboard_key_Launch App2", 183, {0x30, 0x92, 0x01}},
        {132, "keyboard_key_Power", 259, {0x40, 0x01, 0x00}},
        {135, "keyboard_key_M1", 0, {0xD0, 0xA2, 0x01}},
        {140, "keyboard_key_FN", 0, {0xA0, 0x01, 0x00}},
        {141, "keyboard_key_GM", 0, {0xA0, 0x1B, 0x00}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(kKeyList[row.index].nameKey, row.name) << row.index;
        EXPECT_EQ(kKeyList[row.index].virtualKey, row.virtualKey) << row.index;
        EXPECT_EQ(kKeyList[row.index].code, row.code) << row.index;
    }
    std::set<std::uint32_t> codes;
    std::set<std::string_view> names;
    for (const KeyListRow& row : kKeyList) {
        codes.insert(row.code.ToInt());
        names.insert(row.nameKey);
    }
    EXPECT_EQ(codes.size(), kKeyList.size()) << "every row has its own code";
    EXPECT_EQ(names.size(), kKeyList.size());
    // The consumer rows carry the media list's usages.
    std::set<std::uint32_t> media;
    for (const AssignmentCode& code : kMediaList)
        media.insert(code.ToInt());
    for (int row = 114; row <= 131; ++row)
        EXPECT_TRUE(media.contains(kKeyList[row].code.ToInt()));
}

TEST(KeyList, CaptureUsesScanCodeAndExtendedFlag) {
    const CapturedKey rightCtrl = CaptureKey(0x1D, 0x01);
    EXPECT_EQ(rightCtrl.kind, CapturedKey::Kind::Modifier);
    EXPECT_EQ(rightCtrl.modifierOption, 1);
    EXPECT_EQ(CaptureKey(0x5B, 0x01).modifierOption, 4) << "left Windows";
    const CapturedKey escape = CaptureKey(0x01, 0x00);
    EXPECT_EQ(escape.kind, CapturedKey::Kind::Key);
    EXPECT_EQ(escape.usage, 0x29);
    EXPECT_EQ(CaptureKey(0x1E, 0x00).usage, 0x04);
    EXPECT_EQ(CaptureKey(0x1C, 0x01).usage, 0x58) << "keypad Enter is the extended Enter";
    EXPECT_EQ(CaptureKey(0x45, 0x00).usage, 0x48) << "Pause";
    EXPECT_EQ(CaptureKey(0x45, 0x01).usage, 0x53) << "Num Lock";
    EXPECT_EQ(CaptureKey(0x1E, 0x80).usage, 0x04) << "only bit 0 of the flags counts";
    EXPECT_EQ(CaptureKey(0x7F, 0x00).kind, CapturedKey::Kind::Nothing);
    // No two capturable rows share a scan code and flag.
    std::set<std::pair<int, bool>> seen;
    for (const ScanCode& scan : kCaptureTable) {
        EXPECT_TRUE(seen.insert({scan.scan, scan.extended}).second) << std::hex << scan.scan;
    }
}

TEST(KeyCaptions, TableCasesJoinsAndFallbacks) {
    const std::vector<std::string> macros = {"first", "second"};
    auto keys = [&](AssignmentCode code) { return CaptionFor(code, macros).keys; };
    using Keys = std::vector<std::string_view>;
    EXPECT_EQ(keys({0x10, 0x04, 0}), Keys{"mouse_key_middle"});
    EXPECT_EQ(keys({0x11, 0x25, 0x83}), Keys{"mouse_key_right_Swing"});
    EXPECT_EQ(keys({0x12, 0x25, 0x03}), Keys{"mouse_key_up_Swing"});
    EXPECT_EQ(keys({0x13, 3, 0}), Keys{"mouse_key_DPI_loop"});
    EXPECT_EQ(keys({0x20, 0x00, 0x04}), Keys{"keyboard_key_A"});
    EXPECT_EQ(keys({0x20, 0x00, 0x00}), Keys{"close_text"});
    EXPECT_EQ(keys({0x20, 0x01, 0x04}), (Keys{"keyboard_key_LCtrl", "keyboard_key_A"}));
    EXPECT_EQ(keys({0x00, 0x10, 0x00}), Keys{"keyboard_key_RCtrl"});
    EXPECT_EQ(CaptionFor({0x20, 0x03, 0x00}, macros).kind, KeyCaption::Kind::None)
        << "two modifiers and no key: no row qualifies";
    EXPECT_EQ(keys({0x22, 0, 4}), Keys{"custem_select_all"});
    EXPECT_EQ(keys({0x30, 0xE2, 0x00}), Keys{"media_mute"});
    EXPECT_EQ(keys({0xA0, 0x1B, 0}), Keys{"keyboard_key_GM"});
    EXPECT_EQ(keys({0xA0, 0x02, 0}), Keys{"mouse_key_smart_key"});
    EXPECT_EQ(keys({0xD0, 0xA2, 5}), Keys{"keyboard_key_M5"});

    EXPECT_EQ(CaptionFor({0x70, 1, 0}, macros).text, "second");
    EXPECT_EQ(CaptionFor({0x71, 2, 9}, macros).kind, KeyCaption::Kind::None)
        << "a deleted macro has no caption";
    EXPECT_EQ(CaptionFor({0x50, 0, 0}, macros).kind, KeyCaption::Kind::Keep);
    const KeyCaption other = CaptionFor({0x99, 0, 0}, macros);
    EXPECT_EQ(other.kind, KeyCaption::Kind::FixedText);
    EXPECT_EQ(other.text, "关闭");
}

}  // namespace
}  // namespace q731
