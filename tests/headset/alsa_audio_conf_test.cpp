// The ALSA back end through a fake mixer: which control each property turns,
// what is only stored (atomically, per card), how levels cross the card's raw
// range, and how the card is found again after a replug.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <set>

#include "headset/alsa_audio_conf.h"
#include "headset/headset_audio.h"
#include "headset/sim_audio_conf.h"
#include "tests/support/test_folder.h"

namespace q731 {
namespace {

using ::testing::ElementsAre;
using testing::FileNames;
using testing::FolderContents;
using testing::ParseOrDie;
using testing::ReadText;
using testing::TestFolder;
using testing::WriteText;

struct FakeControl {
    std::optional<bool> on;
    std::optional<MixerRange> range;
    long raw = 0;
};

// The card as the fake shows it, shared with the test after the back end
// takes the mixer.
struct FakeCard {
    std::map<std::pair<std::string, MixerSide>, FakeControl> controls;
    std::vector<int> opened;
};

class FakeMixer final : public IAlsaMixer {
public:
    explicit FakeMixer(std::shared_ptr<FakeCard> card) : card_(std::move(card)) {}
    bool Open(int card) override {
        card_->opened.push_back(card);
        return true;
    }
    std::vector<std::string> ElementNames() override { return {}; }
    std::optional<bool> GetSwitch(const std::string& element, MixerSide side) override {
        const FakeControl* control = Find(element, side);
        return control != nullptr ? control->on : std::nullopt;
    }
    bool SetSwitch(const std::string& element, MixerSide side, bool on) override {
        FakeControl* control = Find(element, side);
        if (control == nullptr || !control->on) return false;
        control->on = on;
        return true;
    }
    std::optional<MixerRange> VolumeRange(const std::string& element, MixerSide side) override {
        const FakeControl* control = Find(element, side);
        return control != nullptr ? control->range : std::nullopt;
    }
    std::optional<long> GetVolume(const std::string& element, MixerSide side) override {
        const FakeControl* control = Find(element, side);
        if (control == nullptr || !control->range) return std::nullopt;
        return control->raw;
    }
    bool SetVolume(const std::string& element, MixerSide side, long raw) override {
        FakeControl* control = Find(element, side);
        if (control == nullptr || !control->range) return false;
        control->raw = std::clamp(raw, control->range->min, control->range->max);
        return true;
    }

private:
    FakeControl* Find(const std::string& element, MixerSide side) {
        const auto found = card_->controls.find({element, side});
        return found == card_->controls.end() ? nullptr : &found->second;
    }
    std::shared_ptr<FakeCard> card_;
};

class AlsaAudioTest : public ::testing::Test {
protected:
    AlsaAudioTest() {
        PlugCard(0, "046d:0a44");
        PlugCard(1, "0c76:1630");
        card->controls[{"Mic", MixerSide::Capture}] = {true, MixerRange{0, 31}, 9};
        card->controls[{"Mic", MixerSide::Playback}] = {false, MixerRange{0, 31}, 16};
        profile.SetSystemSettings({0, 1, 1, 0, 1, 70, 1, 70});
    }
    void PlugCard(int number, const char* usbId) {
        const fs::path cardFolder = proc() / ("card" + std::to_string(number));
        fs::create_directories(cardFolder);
        WriteText(cardFolder / "usbid", std::string(usbId) + "\n");
    }
    fs::path proc() const { return folder / "proc"; }
    fs::path store() const { return folder / "HD"; }
    std::unique_ptr<HeadsetAudio> MakeAudio() {
        conf = std::make_unique<AlsaAudioConf>(
            std::make_unique<FakeMixer>(card),
            AlsaAudioPaths{proc(), folder / "headset-mixer.json", store()});
        auto audio = std::make_unique<HeadsetAudio>(conf.get(), profile, nullptr, nullptr);
        audio->SetView(&view);
        audio->LoadFromProfile();
        audio->Start();
        return audio;
    }
    FakeControl& Mic(MixerSide side) { return card->controls[{"Mic", side}]; }

    TestFolder folder;
    std::shared_ptr<FakeCard> card = std::make_shared<FakeCard>();
    CHs6533Profiledata profile;
    PanelStateView view;
    std::unique_ptr<AlsaAudioConf> conf;
};

TEST_F(AlsaAudioTest, MicrophoneAndMonitoringTurnTheMicElementTheRestIsStoredPerCard) {
    fs::create_directories(store());
    WriteText(store() / "headset-audio-0c76-1630.json", "{ damaged");
    auto audio = MakeAudio();
    EXPECT_THAT(card->opened, ElementsAre(1));
    EXPECT_EQ(audio->State(), (HeadsetSystemSettings{0, 1, 1, 0, 1, 29, 0, 52}));
    EXPECT_EQ(FileNames(store()).size(), 2U) << "the damaged file is kept aside";

    const Json::Value stored = ParseOrDie(ReadText(store() / "headset-audio-0c76-1630.json"));
    EXPECT_EQ(stored["1/VirtualSurroundEffectControl/4/-1/0"], 0);
    EXPECT_EQ(stored["1/EQ_Slider10"], 0);
    EXPECT_EQ(stored["2/VolumeControl/-1"].type(), Json::realValue);
    EXPECT_EQ(stored["2/MagicVoice_Selection"], 0);
    EXPECT_FALSE(stored.isMember("2/MuteControl")) << "bound properties are not stored";

    audio->OnMicSwitch();
    view.panels.micLevel = 50;
    audio->OnMicSlider();
    audio->OnMonitorSwitch();
    view.panels.monitorLevel = 100;
    audio->OnMonitorSlider();
    audio->OnVoice(2);
    EXPECT_EQ(Mic(MixerSide::Capture).on, false);
    EXPECT_EQ(Mic(MixerSide::Capture).raw, 16);
    EXPECT_EQ(Mic(MixerSide::Playback).on, true);
    EXPECT_EQ(Mic(MixerSide::Playback).raw, 31);

    // The next start finds every value set and writes nothing; 50 comes back
    // as the card's nearest step.
    const auto before = FolderContents(store());
    auto again = MakeAudio();
    EXPECT_EQ(FolderContents(store()), before);
    EXPECT_EQ(again->State(), (HeadsetSystemSettings{0, 2, 1, 0, 0, 52, 1, 100}));
}

TEST_F(AlsaAudioTest, LevelsRoundTripOverTheCardsRawRange) {
    for (const MixerRange range : {MixerRange{0, 100}, MixerRange{0, 31}, MixerRange{-4608, 0}}) {
        Mic(MixerSide::Capture).range = range;
        auto audio = MakeAudio();
        const double tolerance = 50.0 / static_cast<double>(range.max - range.min) + 0.5;
        for (int level = 0; level <= 100; ++level) {
            view.panels.micLevel = level;
            audio->OnMicSlider();
            audio->Connect();
            const int back = audio->State().micInValue;
            EXPECT_LE(std::abs(back - level), range.max - range.min >= 100 ? 0 : tolerance)
                << range.min << ".." << range.max << " level " << level;
            view.panels.micLevel = back;
            audio->OnMicSlider();
            audio->Connect();
            EXPECT_EQ(audio->State().micInValue, back);
        }
    }
}

TEST_F(AlsaAudioTest, AReplugIsFollowedToItsNewCardAndTheOverrideFileRenamesElements) {
    WriteText(folder / "headset-mixer.json",
              R"({"MuteControl": "Headset", "VolumeScalarControl": 7, "EQ_Slider1": "Mic",
                  "AAMuteControl": ""})");
    card->controls[{"Headset", MixerSide::Capture}] = {false, std::nullopt, 0};
    card->controls.erase({"Mic", MixerSide::Playback});
    auto audio = MakeAudio();
    EXPECT_EQ(conf->Bindings()[0].element, "Headset");
    EXPECT_EQ(conf->Bindings()[1].element, "Mic");
    EXPECT_EQ(conf->Bindings()[2].element, "Mic");
    // Muted by the "Headset" switch; no monitoring without its volume.
    EXPECT_EQ(audio->State(), (HeadsetSystemSettings{0, 1, 1, 0, 0, 29, 1, 70}));

    fs::remove_all(proc() / "card1");
    PlugCard(4, "0c76:1630");
    audio->Connect();
    EXPECT_THAT(card->opened, ElementsAre(1, 4));
    EXPECT_EQ(conf->Card(), 4);

    fs::remove_all(proc() / "card4");
    audio->Connect();
    EXPECT_EQ(conf->Card(), std::nullopt);
    audio->OnMicSwitch();
    EXPECT_EQ(card->controls.at({"Headset", MixerSide::Capture}).on, false);
    EXPECT_EQ(profile.GetSystemSettings().micInSelect, 1) << "unplugged: the profile follows";
}

// Every property the audio logic touches is either turned on the card or
// listed as only stored, so that the listing tool and the note stay true.
TEST(AlsaAudioProperties, EachPropertyTheLogicUsesIsBoundOrListedAsStored) {
    auto library = MakeSimAudioConf();
    CHs6533Profiledata profile;
    HeadsetAudio audio(library.get(), profile, nullptr, nullptr);
    audio.Start();
    audio.OnEqualiserOption(3);
    audio.OnBandSlider(2);
    audio.OnMicSwitch();
    audio.OnMonitorSwitch();
    audio.OnMicSlider();
    audio.OnMonitorSlider();
    audio.View().SetVoiceChangerSwitch(true);
    audio.OnVoiceChangerSwitch();
    audio.OnVoice(2);
    std::set<std::string> known{"GetSupportFeature"};
    for (const MixerBinding& binding : HeadsetMixerBindings({}))
        known.insert(binding.property);
    for (const StoredProperty& stored : StoredOnlyProperties())
        known.insert(stored.property);
    ASSERT_FALSE(library->PropertyCalls().empty());
    for (const AudioCall& call : library->calls) {
        if (!call.property.empty()) {
            EXPECT_TRUE(known.count(call.property)) << call.property;
        }
    }
}

}  // namespace
}  // namespace q731
