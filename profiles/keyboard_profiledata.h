#pragma once
// The keyboard's profile document: system settings and per-key colour groups
// on top of the sections every device shares.

#include <vector>

#include "profiles/basic_profiledata.h"

namespace q731 {

class CKeyboardProfiledata : public CBasicProfiledata {
public:
    // Bounds for indexes that come from files or the page: a group or key past
    // them would make a write grow the document by that many elements.
    static constexpr int kMaxCustomGroups = 16;
    static constexpr int kMaxKeys = 512;

    KeyboardSystemSettings GetSystemSettings();
    void SetSystemSettings(const KeyboardSystemSettings& settings);

    // The colours of `group` for `keyCount` keys. Keys the document lacks are
    // added to it as zero colours. Out-of-range arguments give zero colours and
    // leave the document alone.
    std::vector<KeyColour> GetCustomColourGroup(int group, int keyCount);
    void SetCustomColourGroup(const std::vector<KeyColour>& colours, int group);
    int GetSelectedCustomGroup();
    void SetSelectedCustomGroup(int group);

private:
    KeyboardSystemSettings systemSettings_;
    std::vector<KeyColour> customColours_;
    int selectedCustomGroup_ = 0;
};

}  // namespace q731
