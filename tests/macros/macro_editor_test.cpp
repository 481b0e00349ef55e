// The macro panel's logic on a private device folder: rows inserted, moved and
// deleted, delays as typed, macros added, renamed, deleted, imported and
// exported, with cancelled or failed changes leaving every file as it was.

#include <gtest/gtest.h>

#include <cerrno>

#include "editor_fixture.h"
#include "platform/files.h"

namespace q731 {
namespace {

using testing::EditorRig;
using testing::FolderContents;
constexpr int L = static_cast<int>(MouseButton::Left);
constexpr int R = static_cast<int>(MouseButton::Right);
constexpr int M = static_cast<int>(MouseButton::Middle);

TEST(MacroEditor, RowsMoveInsertAndDeleteAsTheButtonsSay) {
    struct Case {
        RowMove move;
        int selected;
        std::vector<int> order;
        int after;
    };
    const Case cases[] = {
        {RowMove::Down, 2, {L, R, M}, 2},  // last row down: unchanged
        {RowMove::Up, 0, {L, R, M}, 0},    // first row up: unchanged
        {RowMove::Bottom, 0, {R, M, L}, 2}, {RowMove::Top, 2, {M, L, R}, 0},
        {RowMove::Up, -1, {L, R, M}, -1},
    };
    for (const Case& c : cases) {
        EditorRig rig;
        rig.WithMacros(1);
        rig.WithRows({MouseButton::Left, MouseButton::Right, MouseButton::Middle}, c.selected);
        rig.editor.MoveRow(c.move);
        EXPECT_EQ(rig.Buttons(), c.order);
        EXPECT_EQ(rig.editor.SelectedRow(), c.after);
        rig.editor.ShowMacro();  // what was saved
        EXPECT_EQ(rig.Buttons(), c.order);
    }

    // "left_click" after row A of A, B: press and release in between, each
    // with the fixed delay, the release selected.
    EditorRig rig;
    rig.WithMacros(1);
    rig.WithRows({MouseButton::Right, MouseButton::Middle}, 0);
    ASSERT_TRUE(rig.editor.RunMenuItem("left_click"));
    EXPECT_EQ(rig.Buttons(), (std::vector<int>{R, L, L, M}));
    EXPECT_TRUE(rig.editor.Rows()[1].event.IsDown());
    EXPECT_FALSE(rig.editor.Rows()[2].event.IsDown());
    EXPECT_EQ(rig.editor.Rows()[2].delay, "50");
    EXPECT_EQ(rig.editor.SelectedRow(), 2);
    EXPECT_FALSE(rig.editor.RunMenuItem("left_twice"));
    rig.editor.DeleteRow();
    EXPECT_EQ(rig.Buttons(), (std::vector<int>{R, L, M}));
    rig.editor.DeleteAllRows();
    rig.editor.ShowMacro();
    EXPECT_TRUE(rig.editor.Rows().empty());
}

TEST(MacroEditor, DelaysAndDistancesAreSavedAsNumbersInRange) {
    EditorRig rig;
    rig.WithMacros(1);
    rig.WithRows({MouseButton::Left, MouseButton::Left, MouseButton::Left, MouseButton::Left});
    rig.view.delays = {"", "007", "70000", "12ab"};
    ASSERT_TRUE(rig.editor.SaveMacro());
    EXPECT_EQ(rig.view.delays, (std::vector<std::string>{"0", "7", "65535", "12"}));
    rig.view.delays[0] = "999";
    rig.editor.ShowMacro();  // cancel: the unsaved edit goes
    EXPECT_EQ(rig.view.delays, (std::vector<std::string>{"0", "7", "65535", "12"}));

    rig.view.fields[std::string(macro_field::kMoveLeft)] = "300";
    rig.view.fields[std::string(macro_field::kMoveDown)] = "-5";
    rig.editor.InsertMovement(Movement::Left);
    EXPECT_EQ(rig.editor.Rows()[1].event.button, 255) << "a distance is one byte at most";
    EXPECT_EQ(rig.view.fields[std::string(macro_field::kMoveLeft)], "255");
    rig.editor.InsertMovement(Movement::Down);
    EXPECT_EQ(rig.editor.Rows()[2].event.button, 0);
    EXPECT_EQ(rig.editor.Rows()[2].event.type, 5);
    EXPECT_FALSE(rig.editor.Rows()[2].event.IsDown());
}

TEST(MacroEditor, MacrosAreAddedRenamedImportedAndExported) {
    EditorRig rig;
    rig.WithMacros(2);
    EXPECT_EQ(rig.view.names, (std::vector<std::string>{"macro_1", "macro_2"}));
    EXPECT_EQ(rig.host.listChanges, 2);

    struct Rename {
        std::string name;
        const char* message;  // nullptr: none
        std::string shown;
    };
    const Rename renames[] = {
        {"   ", nullptr, "macro_1"},
        {"MACRO_1", macro_text::kNameTaken, "macro_1"},  // its own name in other case
        {"MACRO_2", macro_text::kNameTaken, "macro_1"},
        {"Reload", nullptr, "Reload"},
    };
    for (const Rename& r : renames) {
        rig.asker.asked.clear();
        rig.view.fields[std::string(macro_field::kNewName)] = r.name;
        rig.editor.RenameMacro();
        EXPECT_EQ(rig.view.names[0], r.shown) << r.name;
        EXPECT_EQ(rig.asker.asked.size(), r.message ? 1u : 0u) << r.name;
    }

    rig.WithRows({MouseButton::Back});
    const fs::path exported = rig.folder / "out.mac";
    rig.editor.ExportMacro(exported);
    rig.editor.ImportMacro(exported);
    EXPECT_EQ(rig.editor.SelectedMacro(), 2);
    EXPECT_EQ(rig.Buttons(), (std::vector<int>{static_cast<int>(MouseButton::Back)}));

    rig.asker.asked.clear();
    testing::WriteText(rig.folder / "not.mac", "{\"Events\": 7}");
    rig.editor.ImportMacro(rig.folder / "not.mac");
    ASSERT_EQ(rig.asker.asked.size(), 1u);
    EXPECT_EQ(rig.asker.asked[0].text, macro_text::kImportRefused);
    EXPECT_EQ(rig.view.names.size(), 3u);
}

TEST(MacroEditor, DeletingAMacroAsksFirstWritesTheListFirstThenFixesTheKeys) {
    struct Case {
        std::deque<int> answers;
        int keyUses;
        int writeFault;  // errno for the device folder's writes, 0 for none
        bool deleted;
        std::vector<std::string> asked;
    };
    const Case cases[] = {
        {{0}, -1, 0, false, {macro_text::kDeleteMacro}},
        {{1, 0}, 1, 0, false, {macro_text::kDeleteMacro, macro_text::kMacroInUse}},
        {{1}, 2, ENOSPC, false, {macro_text::kDeleteMacro, macro_text::kDeleteFailed}},
        {{1}, 2, 0, true, {macro_text::kDeleteMacro}},
    };
    for (const Case& c : cases) {
        EditorRig rig;
        rig.WithMacros(3);
        rig.editor.SelectMacro(1);
        rig.host.keyUses = c.keyUses;
        rig.asker = ScriptedQuestions(c.answers, 1);
        const auto before = FolderContents(rig.folder.path());
        InjectWriteFault(rig.folder.path(), c.writeFault);
        rig.editor.DeleteMacroSequence();
        InjectWriteFault({}, 0);
        std::vector<std::string> asked;
        for (const Question& q : rig.asker.asked)
            asked.push_back(q.text);
        EXPECT_EQ(asked, c.asked);
        if (!c.deleted) {
            EXPECT_EQ(FolderContents(rig.folder.path()), before) << "nothing changed";
            EXPECT_TRUE(rig.host.fixed.empty());
            continue;
        }
        EXPECT_EQ(rig.view.names, (std::vector<std::string>{"macro_1", "macro_3"}));
        EXPECT_EQ(rig.host.fixed, std::vector<int>{1});
        EXPECT_EQ(rig.host.keySaves, 1) << "a key moved to another macro is sent";
        EXPECT_EQ(rig.editor.SelectedMacro(), 0);
        EXPECT_FALSE(rig.view.editing);
    }
}

}  // namespace
}  // namespace q731
