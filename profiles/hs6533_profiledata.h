#pragma once
// The headset's profile document: system settings, preset and custom
// equaliser curves (10 bands each) and the names of the custom curves.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "profiles/basic_profiledata.h"

namespace q731 {

class CHs6533Profiledata : public CBasicProfiledata {
public:
    static constexpr int kBandCount = 10;
    // Custom curves a profile may hold; more names than this are ignored.
    static constexpr int kMaxCustomCurves = 64;
    static constexpr int kPresetCurveCount = 12;
    static constexpr int kCustomCurveType = 13;
    using Curve = std::array<std::int32_t, kBandCount>;

    HeadsetSystemSettings GetSystemSettings();
    void SetSystemSettings(const HeadsetSystemSettings& settings);

    // The curve of an equaliser type: presets 1-12 by number, 0 and anything
    // past 13 as preset 1, 13 as the selected custom curve. Absent bands are
    // added to the document as 0.
    Curve GetEqualiserCurve(int eqType);
    // Type 13 writes nothing here (custom curves have their own setter).
    void SetPresetCurve(int eqType, const Curve& values);
    // Custom curves exist only for listed names: an index that names none reads
    // as zeros and writes nothing.
    Curve GetCustomCurve(int customIndex);
    bool SetCustomCurve(int customIndex, const Curve& values);
    std::vector<std::string> GetCustomCurveNames();
    void SetCustomCurveNames(const std::vector<std::string>& names);

    static int PresetCurveFor(int eqType);

private:
    Curve ReadCurve(const char* section, int curve);
    void WriteCurve(const char* section, int curve, const Curve& values);
    int CustomCurveCount() const;

    HeadsetSystemSettings systemSettings_;
    Curve equaliserValues_{};
};

}  // namespace q731
