#pragma once
// The shooting panel's controls in memory: every control the panel looks up
// exists (unless named in `absent`) and holds the flags, texts and captions
// put into it. For the panel's tests and its benchmark.

#include <map>
#include <set>
#include <string>
#include <string_view>

#include "profiles/shoot_panel.h"

namespace q731::testing {

struct MemoryShootView final : IShootView {
    std::map<std::string, bool, std::less<>> flags;
    std::map<std::string, std::string, std::less<>> texts;
    std::map<std::string, std::string, std::less<>> captions;
    std::set<std::string, std::less<>> absent;
    int picture = -1;

    bool HasControl(std::string_view name) const override { return !absent.contains(name); }
    bool Flag(std::string_view name) const override {
        const auto it = flags.find(name);
        return it != flags.end() && it->second;
    }
    void SetFlag(std::string_view name, bool on) override { flags[std::string(name)] = on; }
    std::string Text(std::string_view name) const override {
        const auto it = texts.find(name);
        return it == texts.end() ? std::string() : it->second;
    }
    void SetText(std::string_view name, const std::string& text) override {
        texts[std::string(name)] = text;
    }
    void SetCaption(std::string_view name, std::string_view id) override {
        captions[std::string(name)] = std::string(id);
    }
    void ShowSlotPicture(int slot) override { picture = slot; }
};

}  // namespace q731::testing
