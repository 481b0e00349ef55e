// Recording runs: delays by mode, where rows go, what is dropped (repeats,
// wheel turns, unknown keys, rows past the cap, inserts without a selection),
// the Linux key map, and the hook's two sources.

#include <gtest/gtest.h>

#include <chrono>
#include <set>

#include "editor_fixture.h"
#include "macros/device_hook.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;
using testing::EditorRig;

constexpr int kA = 30;  // Linux key codes
constexpr int kB = 48;
constexpr int kNumLock = 69;

InputRecord Key(int code, bool down, Millis at, bool repeat = false) {
    return {InputRecord::Kind::Key, code, down, repeat, SteadyTime{} + at};
}
InputRecord Button(MouseButton button, bool down, Millis at) {
    return {InputRecord::Kind::Button, static_cast<int>(button), down, false, SteadyTime{} + at};
}

struct Recorded {
    std::string action;
    int button;
    std::string delay;
    friend bool operator==(const Recorded&, const Recorded&) = default;
};

std::vector<Recorded> RowsOf(const EditorRig& rig) {
    std::vector<Recorded> rows;
    for (const MacroRow& row : rig.editor.Rows())
        rows.push_back({row.event.action, row.event.button, row.delay});
    return rows;
}

TEST(MacroRecorder, DelaysFollowTheDelayMode) {
    // A pressed, held (auto-repeat), B 250 ms later, both released.
    const InputRecord input[] = {
        Key(kA, true, 1000ms),
        Key(kA, true, 1030ms, true),
        Key(kA, true, 1060ms),
        Key(kB, true, 1250ms),
        Key(kA, false, 1400ms),
        Key(kB, false, 1410ms),
        Key(999, true, 1500ms),  // not in the key table
        {InputRecord::Kind::Wheel, 1, true, false, SteadyTime{} + 1600ms},
    };
    struct Case {
        DelayMode mode;
        std::string fixedField;
        std::vector<std::string> delays;
        std::string fieldAfter;
    };
    const Case cases[] = {
        {DelayMode::Real, "", {"250", "150", "10", "0"}, ""},
        {DelayMode::None, "", {"0", "0", "0", "0"}, ""},
        {DelayMode::Fixed, "30", {"30", "30", "30", "30"}, "30"},
        {DelayMode::Fixed, "70000", {"65535", "65535", "65535", "65535"}, "65535"},
    };
    for (const Case& c : cases) {
        EditorRig rig;
        rig.WithMacros(1);
        rig.view.fields[std::string(macro_field::kFixedDelay)] = c.fixedField;
        rig.editor.StartRun(c.mode, HookMode::Append, SteadyTime{} + 900ms);
        EXPECT_TRUE(rig.view.locked);
        for (const InputRecord& record : input)
            rig.editor.OnInput(record);
        rig.editor.EndRun();
        EXPECT_FALSE(rig.view.locked);
        std::vector<std::string> delays;
        for (const Recorded& row : RowsOf(rig))
            delays.push_back(row.delay);
        EXPECT_EQ(delays, c.delays) << static_cast<int>(c.mode);
        EXPECT_EQ(rig.view.fields[std::string(macro_field::kFixedDelay)], c.fieldAfter);
        rig.editor.ShowMacro();
        EXPECT_EQ(rig.editor.Rows().size(), 4u) << "the run's rows were saved";
    }
}

TEST(MacroRecorder, RowsGoWhereTheHookModeSays) {
    constexpr int Lb = static_cast<int>(MouseButton::Left);
    constexpr int Rb = static_cast<int>(MouseButton::Right);
    constexpr int Fb = static_cast<int>(MouseButton::Forward);
    struct Case {
        HookMode mode;
        int selected;
        std::vector<int> buttons;
        int selectedAfter;
    };
    const Case cases[] = {
        {HookMode::Append, 0, {Lb, Rb, Fb, Fb}, 3},
        {HookMode::InsertBefore, 1, {Lb, Fb, Fb, Rb}, 3},
        {HookMode::InsertAfter, 0, {Lb, Fb, Fb, Rb}, 2},
        {HookMode::InsertBefore, -1, {Lb, Rb}, -1},  // needs a selected row
        {HookMode::InsertAfter, -1, {Lb, Rb}, -1},
        {HookMode::Replace, 1, {Lb, Fb}, 1},
        {HookMode::Replace, -1, {Lb, Rb}, -1},
    };
    for (const Case& c : cases) {
        EditorRig rig;
        rig.WithMacros(1);
        rig.WithRows({MouseButton::Left, MouseButton::Right}, c.selected);
        rig.editor.StartRun(DelayMode::None, c.mode, SteadyTime{});
        rig.editor.OnInput(Button(MouseButton::Forward, true, 10ms));
        rig.editor.OnInput(Button(MouseButton::Forward, false, 20ms));
        rig.editor.EndRun();
        std::vector<int> buttons;
        for (const Recorded& row : RowsOf(rig))
            buttons.push_back(row.button);
        EXPECT_EQ(buttons, c.buttons) << static_cast<int>(c.mode) << " " << c.selected;
        EXPECT_EQ(rig.editor.SelectedRow(), c.selectedAfter);
    }
}

TEST(MacroRecorder, ARunStopsAddingAtTheCap) {
    EditorRig rig;
    rig.WithMacros(1);
    rig.editor.StartRun(DelayMode::None, HookMode::Append, SteadyTime{});
    for (int i = 0; i < 2100; ++i) {
        rig.editor.OnInput(Key(kA, true, Millis(i)));
        rig.editor.OnInput(Key(kA, false, Millis(i)));
    }
    EXPECT_EQ(rig.editor.Rows().size(), MacroEditor::kMaxRecordedRows);
    rig.editor.EndRun();
    rig.editor.OnInput(Key(kB, true, 0ms));
    EXPECT_EQ(rig.editor.Rows().size(), MacroEditor::kMaxRecordedRows) << "ended: nothing more";
}

TEST(MacroRecorder, TheLinuxKeyMapReachesEveryKeyOnce) {
    std::multiset<std::string> reached;
    for (int code = 0; code < 256; ++code) {
        if (const auto row = MacroKeyOfLinuxKey(code)) reached.insert(row->name);
    }
    EXPECT_EQ(reached.size(), kMacroKeyCount);
    for (const MacroKeyRow& row : kMacroKeys)
        EXPECT_EQ(reached.count(row.name), 1u) << row.name;
    struct Sample {
        int code;
        ScanKey key;
    };
    const Sample samples[] = {{29, {0x1D, false}},  // left Ctrl
                              {97, {0x1D, true}},   // right Ctrl
                              {125, {0x5B, true}},  // left Windows
                              {kA, {0x1E, false}}, {kNumLock, {0x45, true}},
                              {119, {0x45, false}}};  // Pause
    for (const Sample& s : samples)
        EXPECT_EQ(ScanKeyOfLinuxKey(s.code), s.key) << s.code;
}

TEST(DeviceHook, OutsideInputCountsOnceAndItsFailureLeavesWindowInput) {
    ScriptedInputSource window;
    auto outside = std::make_unique<ScriptedInputSource>();
    ScriptedInputSource* desktop = outside.get();
    bool focused = true;
    CDeviceHook hook(window, std::move(outside), [&](const InputRecord& r) {
        return r.kind == InputRecord::Kind::Key && focused;
    });
    std::vector<int> seen;
    ASSERT_TRUE(hook.SetHook(
        0, HookMode::Append, [&](const InputRecord& r) { seen.push_back(r.code); }, true, true));
    window.Feed(Key(kA, true, 0ms));
    desktop->Feed(Key(kA, true, 0ms));  // the same key, seen by both
    focused = false;
    desktop->Feed(Key(kB, true, 0ms));  // typed into another program
    EXPECT_EQ(seen, (std::vector<int>{kA, kB}));
    EXPECT_EQ(hook.RemoveHook(), 1);
    EXPECT_FALSE(window.Running());
    EXPECT_FALSE(desktop->Running());
    EXPECT_EQ(hook.RemoveHook(), 0);

    ScriptedInputSource ownOnly;
    CDeviceHook failing(ownOnly, std::make_unique<ScriptedInputSource>("no X11 display"), nullptr);
    seen.clear();
    ASSERT_TRUE(failing.SetHook(
        0, HookMode::Append, [&](const InputRecord& r) { seen.push_back(r.code); }, true, true));
    EXPECT_EQ(failing.OutsideFailure(), "no X11 display");
    ownOnly.Feed(Key(kB, true, 0ms));
    EXPECT_EQ(seen, std::vector<int>{kB});
}

}  // namespace
}  // namespace q731
