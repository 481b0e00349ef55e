// The headset's audio logic against the simulated library: what audio start
// reads and writes, what a connect reads back, and what each control does to
// the library, the panels and the profile.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>

#include "headset/headset_audio.h"
#include "headset/sim_audio_conf.h"
#include "tests/support/audio_calls.h"

namespace q731 {
namespace {

using ::testing::Contains;
using testing::DescribePropertyCalls;
using testing::DescribeWrites;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::int32_t kPlay = kSimPlaybackId;
constexpr std::int32_t kRec = kSimRecordingId;

// Every default audio start gives a headset that has never been configured.
const std::vector<std::string> kAllDefaults = {
    "write play VirtualSurroundEffectControl [4,-1,0] 0",
    "write rec Enable_ENC_LFX [] 0",
    "write rec VolumeControl [-1] 0f",
    "write play Enable_EQ_GFX [] 0",
    "write play EQ_Slider1 [] 0",
    "write play EQ_Slider2 [] 0",
    "write play EQ_Slider3 [] 0",
    "write play EQ_Slider4 [] 0",
    "write play EQ_Slider5 [] 0",
    "write play EQ_Slider6 [] 0",
    "write play EQ_Slider7 [] 0",
    "write play EQ_Slider8 [] 0",
    "write play EQ_Slider9 [] 0",
    "write play EQ_Slider10 [] 0",
    "write play Enable_RFX_GFX [] 0",
    "write play RFX_ENVIRONMENT [] 0",
    "write play RFX_ROOMSIZE [] 0",
    "write rec MuteControl [] 0",
    "write rec VolumeScalarControl [-1] 0f",
    "write rec AAVolumeControl [0] 0f",
    "write rec AAMuteControl [] 0",
    "write rec AAVolumeScalarControl [0] 0f",
    "write rec Enable_MAGICVOICE [] 0",
    "write rec MagicVoice_Selection [] 0",
};

// A profile in memory; a save only counts.
class HeadsetAudioTest : public ::testing::Test {
protected:
    HeadsetAudioTest() { audio.SetView(&view); }

    void UseProfile(const HeadsetSystemSettings& settings,
                    const std::vector<std::string>& names = {}) {
        profile.SetSystemSettings(settings);
        profile.SetCustomCurveNames(names);
        for (int index = 0; index < static_cast<int>(names.size()); ++index) {
            profile.SetCustomCurve(index, CurveStartingAt(index * 10));
        }
    }
    static EqualiserCurve CurveStartingAt(int first) {
        EqualiserCurve curve{};
        for (int band = 0; band < CHs6533Profiledata::kBandCount; ++band)
            curve[static_cast<std::size_t>(band)] = first + band;
        return curve;
    }
    // Starts with every switch on and levels set, so what a test changes shows.
    void StartConfigured() {
        for (const auto& [property, parameter, value] :
             std::vector<std::tuple<const char*, PropertyParameter, AudioValue>>{
                 {"MuteControl", {}, 0},
                 {"VolumeScalarControl", kAllChannels, 0.6F},
                 {"AAMuteControl", {}, 0},
                 {"AAVolumeScalarControl", kFirstChannel, 0.3F},
                 {"Enable_MAGICVOICE", {}, 0},
                 {"MagicVoice_Selection", {}, 0}}) {
            sim->Store(kRec, property, parameter, value);
        }
        audio.LoadFromProfile();
        audio.Start();
        audio.Refresh();
        sim->calls.clear();
        saves = 0;
    }
    HeadsetSystemSettings Profiled() { return profile.GetSystemSettings(); }
    const AudioPanels& Panels() const { return view.panels; }

    std::unique_ptr<SimAudioConf> sim = MakeSimAudioConf();
    CHs6533Profiledata profile;
    int saves = 0;
    ScriptedQuestions questions;
    PanelStateView view;
    HeadsetAudio audio{sim.get(), profile, [this] { return ++saves > 0; }, &questions};
};

TEST_F(HeadsetAudioTest, StartWritesDefaultsInOrderOnlyWhereNoValueIsStored) {
    struct Case {
        const char* name;
        std::function<void(SimAudioConf&)> setup;
        std::vector<std::string> kept;  // properties that must not be written
    };
    const Case cases[] = {
        {"nothing stored", [](SimAudioConf&) {}, {}},
        {"stored values and failed reads are left alone",
         [](SimAudioConf& conf) {
             conf.Store(kRec, "MuteControl", {}, 1);
             conf.Store(kPlay, "EQ_Slider3", {}, 5);
             conf.FailProperty("VolumeScalarControl", AudioOperation::Read, AudioResult::Error);
             conf.FailProperty("AAMuteControl", AudioOperation::Read, AudioResult::NotSupported);
         },
         {"MuteControl", "EQ_Slider3", "VolumeScalarControl", "AAMuteControl"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto conf = MakeSimAudioConf();
        c.setup(*conf);
        HeadsetAudio fresh(conf.get(), profile, nullptr, &questions);
        fresh.Start();

        std::vector<std::string> expected;
        for (const std::string& line : kAllDefaults) {
            std::istringstream words(line);
            std::string verb, endpoint, property;
            words >> verb >> endpoint >> property;
            if (std::find(c.kept.begin(), c.kept.end(), property) == c.kept.end())
                expected.push_back(line);
        }
        EXPECT_EQ(DescribeWrites(*conf), expected);
        const std::vector<std::string> calls = DescribePropertyCalls(*conf);
        for (const char* read :
             {"read play VirtualSurroundEffectControl [4,-1,0]", "read rec Enable_ENC_LFX [0]",
              "read rec VolumeControl [-1]", "read rec AAVolumeControl [0]"}) {
            EXPECT_THAT(calls, Contains(read));
        }
        EXPECT_THAT(questions.asked, IsEmpty());
    }
}

TEST_F(HeadsetAudioTest, ReadingCurrentValuesTakesOnlyWhatEachReadAllows) {
    const HeadsetSystemSettings before{0, 4, 5, 0, 0, 11, 0, 12};
    struct Case {
        const char* name;
        std::function<void(SimAudioConf&)> setup;
        HeadsetSystemSettings expected;
    };
    auto storeAll = [](SimAudioConf& conf) {
        conf.Store(kRec, "MuteControl", {}, 0);
        conf.Store(kRec, "VolumeScalarControl", kAllChannels, 0.29F);
        conf.Store(kRec, "AAMuteControl", {}, 0);
        conf.Store(kRec, "AAVolumeScalarControl", kFirstChannel, 0.57F);
        conf.Store(kRec, "Enable_MAGICVOICE", {}, 1);
        conf.Store(kRec, "MagicVoice_Selection", {}, 2);
    };
    const Case cases[] = {
        {"everything read", storeAll, {1, 3, 5, 0, 1, 29, 1, 57}},
        {"no monitoring without GetAAMaxVol",
         [&](SimAudioConf& conf) {
             storeAll(conf);
             conf.FailProperty("GetAAMaxVol", AudioOperation::Read);
         },
         {1, 3, 5, 0, 1, 29, 0, 12}},
        {"no voice changer without its feature bit",
         [&](SimAudioConf& conf) {
             storeAll(conf);
             conf.featureText[kRec] = "65536,1,1,1,1,1,1";
         },
         {0, 3, 5, 0, 1, 29, 1, 57}},
        {"a voice selection out of range leaves the voice",
         [&](SimAudioConf& conf) {
             storeAll(conf);
             conf.Store(kRec, "MagicVoice_Selection", {}, 7);
         },
         {1, 4, 5, 0, 1, 29, 1, 57}},
        {"failed reads leave their values",
         [&](SimAudioConf& conf) {
             storeAll(conf);
             conf.FailProperty("MuteControl", AudioOperation::Read);
             conf.FailProperty("VolumeScalarControl", AudioOperation::Read, AudioResult::NoValue);
         },
         {1, 3, 5, 0, 0, 11, 1, 57}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto conf = MakeSimAudioConf();
        c.setup(*conf);
        UseProfile(before);
        HeadsetAudio fresh(conf.get(), profile, nullptr, &questions);
        fresh.LoadFromProfile();
        fresh.Start();
        EXPECT_EQ(fresh.State(), c.expected);
        EXPECT_EQ(Profiled(), before) << "read values are not recorded";
    }
    auto conf = MakeSimAudioConf();
    conf->FailProperty("GetAAMaxVol", AudioOperation::Read);
    HeadsetAudio fresh(conf.get(), profile, nullptr, &questions);
    fresh.Start();
    conf->calls.clear();
    fresh.ReadCurrentValues();
    EXPECT_THAT(DescribePropertyCalls(*conf),
                ElementsAre("read rec MuteControl []", "read rec VolumeScalarControl [-1]",
                            "read rec GetAAMaxVol []", "read rec Enable_MAGICVOICE []",
                            "read rec MagicVoice_Selection []"));
}

TEST_F(HeadsetAudioTest, MissingEndpointsAreSkippedNeverCalledWithAnEmptyRecord) {
    struct Case {
        const char* name;
        std::function<void(SimAudioConf&)> setup;
        std::vector<std::int32_t> reached;
    };
    const Case cases[] = {
        {"no microphone", [](SimAudioConf& conf) { conf.recording.clear(); }, {kPlay}},
        {"no active output", [](SimAudioConf& conf) { conf.playback.resize(1); }, {kRec}},
        {"no output at all", [](SimAudioConf& conf) { conf.playback.clear(); }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto conf = MakeSimAudioConf();
        c.setup(*conf);
        UseProfile({0, 1, 1, 0, 1, 50, 1, 50});
        HeadsetAudio fresh(conf.get(), profile, nullptr, &questions);
        fresh.LoadFromProfile();
        fresh.Start();
        fresh.OnEqualiserOption(2);
        fresh.OnMicSwitch();
        for (const AudioCall& call : conf->PropertyCalls()) {
            EXPECT_THAT(c.reached, Contains(call.endpointId)) << testing::DescribeCall(call);
        }
        EXPECT_EQ(Profiled().eqType, 2);
        EXPECT_EQ(Profiled().micInSelect, 0) << "a skipped write still records";
    }
}

TEST_F(HeadsetAudioTest, StartReportsAFailedInitialisationAndFeatureAnswersAndGoesOn) {
    struct Case {
        bool initSucceeds;
        const char* featureText;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {false, "131072,0,0,0,0,0,0", {"ConfLibInit called failed!"}},
        {true, "131072,0,0", {"UpdateAPOAvailable failed!", "UpdateAPOAvailable failed!"}},
    };
    for (const Case& c : cases) {
        auto conf = MakeSimAudioConf();
        conf->initSucceeds = c.initSucceeds;
        conf->featureText = {{kPlay, c.featureText}, {kRec, c.featureText}};
        ScriptedQuestions asked;
        HeadsetAudio fresh(conf.get(), profile, nullptr, &asked);
        fresh.Start();
        EXPECT_EQ(asked.Texts(), c.messages);
        for (const Question& question : asked.asked)
            EXPECT_FALSE(question.textIsId) << question.text;
        EXPECT_EQ(DescribeWrites(*conf), kAllDefaults);
    }
}

TEST_F(HeadsetAudioTest, WithoutALibraryTheControlsStillUpdatePanelsAndProfile) {
    auto absent = MakeSimAudioConf();
    absent->available = false;
    for (IAudioConfLib* library :
         {static_cast<IAudioConfLib*>(nullptr), static_cast<IAudioConfLib*>(absent.get())}) {
        UseProfile({0, 1, 1, 0, 1, 50, 1, 50});
        PanelStateView panels;
        HeadsetAudio fresh(
            library, profile, [this] { return ++saves > 0; }, &questions);
        fresh.SetView(&panels);
        fresh.LoadFromProfile();
        fresh.Start();
        fresh.OnEqualiserOption(4);
        fresh.OnMicSwitch();
        panels.panels.monitorLevel = 33;
        fresh.OnMonitorSlider();
        panels.panels.voiceChangerSwitch = true;
        fresh.OnVoiceChangerSwitch();
        fresh.OnVoice(3);
        EXPECT_EQ(Profiled(), (HeadsetSystemSettings{1, 3, 4, 0, 0, 50, 1, 33}));
        EXPECT_EQ(panels.panels.bandSliders, PresetCurve(4));
        EXPECT_FALSE(panels.panels.micSwitch);
        EXPECT_TRUE(panels.panels.voiceLayoutEnabled);
        EXPECT_EQ(panels.panels.voice, 3);
    }
    EXPECT_EQ(absent->calls.size(), 1U) << "only the attempt to load";
}

TEST_F(HeadsetAudioTest, AConnectRunsTheStartThatFoundNoLibraryAndAfterThatOnlyReads) {
    sim->available = false;
    audio.Start();
    sim->available = true;
    audio.Connect();
    EXPECT_EQ(DescribeWrites(*sim), kAllDefaults);
    sim->calls.clear();
    audio.Connect();
    EXPECT_EQ(sim->calls.front().operation, AudioOperation::Load);
    EXPECT_THAT(sim->Writes(), IsEmpty());
    EXPECT_EQ(sim->PropertyCalls().size(), 7U);
}

TEST_F(HeadsetAudioTest, LevelsRoundTripThroughExactAndCoarseMixers) {
    for (const int steps : {0, 31, 7}) {
        sim->scalarSteps = steps;
        StartConfigured();
        // A coarse mixer keeps the level nearest to one of its steps, and that
        // level then survives every further connect unchanged.
        const double tolerance = steps == 0 ? 0.0 : 50.0 / steps + 0.5;
        for (int level = 0; level <= 100; ++level) {
            view.panels.micLevel = level;
            view.panels.monitorLevel = 100 - level;
            audio.OnMicSlider();
            audio.OnMonitorSlider();
            audio.ReadCurrentValues();
            const int mic = audio.State().micInValue;
            const int monitor = audio.State().micMonitorValue;
            EXPECT_LE(std::abs(mic - level), tolerance) << steps << " steps, level " << level;
            EXPECT_LE(std::abs(monitor - (100 - level)), tolerance) << steps << " steps";
            view.panels.micLevel = mic;
            audio.OnMicSlider();
            audio.ReadCurrentValues();
            EXPECT_EQ(audio.State().micInValue, mic) << steps << " steps, level " << level;
        }
    }
}

TEST_F(HeadsetAudioTest, AProfileSwitchReachesThePanelsWithoutALibraryCall) {
    StartConfigured();
    UseProfile({1, 2, 13, 1, 0, 35, 1, 64}, {"Rock", "Talk"});
    audio.LoadFromProfile();
    audio.Refresh();
    EXPECT_THAT(sim->calls, IsEmpty());
    EXPECT_EQ(Panels().equaliserOption, 13);
    EXPECT_TRUE(Panels().customRowEnabled);
    EXPECT_EQ(Panels().customSelection, 1);
    EXPECT_EQ(Panels().bandSliders, CurveStartingAt(10));
    EXPECT_EQ(Panels().micLevel, 35);
    EXPECT_FALSE(Panels().micSwitch);
    EXPECT_EQ(Panels().voice, 2);
    // The first click turns what the panel shows.
    audio.OnMicSwitch();
    EXPECT_THAT(DescribeWrites(*sim), ElementsAre("write rec MuteControl [] 0"));
    EXPECT_EQ(Profiled().micInSelect, 1);
}

TEST_F(HeadsetAudioTest, EqualiserChoicesWriteTheWholeCurveAndRecord) {
    UseProfile({0, 1, 1, 0, 1, 50, 1, 50}, {"Mine"});
    StartConfigured();
    audio.OnEqualiserOption(3);
    std::vector<std::string> expected = {"write play Enable_EQ_GFX [] 1"};
    for (int band = 0; band < 10; ++band) {
        expected.push_back(fmt::format("write play EQ_Slider{} [] {}", band + 1,
                                       PresetCurve(3)[static_cast<std::size_t>(band)]));
    }
    EXPECT_EQ(DescribeWrites(*sim), expected);
    EXPECT_EQ(Profiled().eqType, 3);
    EXPECT_EQ(profile.GetEqualiserCurve(3), PresetCurve(3));
    EXPECT_EQ(saves, 1);

    sim->calls.clear();
    view.panels.customSelection = 0;
    audio.OnEqualiserOption(13);
    EXPECT_EQ(DescribeWrites(*sim).size(), 11U);
    EXPECT_EQ(Panels().bandSliders, CurveStartingAt(0));
    EXPECT_EQ(Profiled().eqType, 13);

    sim->calls.clear();
    for (const int ignored : {0, 14, -1})
        audio.OnEqualiserOption(ignored);
    EXPECT_THAT(sim->calls, IsEmpty());
}

// The edge cases of custom curves and the microphone switch.
TEST_F(HeadsetAudioTest, CustomCurveEdgeCases) {
    std::vector<std::string> twenty;
    for (int index = 0; index < HeadsetAudio::kMaxCustomCurves; ++index)
        twenty.push_back("Curve " + std::to_string(index));

    // Twenty names: a new one changes nothing and asks nothing.
    UseProfile({0, 1, 13, 0, 1, 50, 1, 50}, twenty);
    StartConfigured();
    view.panels.nameEdit = "One more";
    audio.OnSaveCustomCurve();
    EXPECT_EQ(profile.GetCustomCurveNames(), twenty);
    EXPECT_THAT(questions.asked, IsEmpty());
    EXPECT_EQ(saves, 0);

    // A name differing only in case is a duplicate.
    twenty.pop_back();
    UseProfile({0, 1, 13, 0, 1, 50, 1, 50}, twenty);
    StartConfigured();
    view.panels.nameEdit = "cURVE 3";
    audio.OnSaveCustomCurve();
    EXPECT_THAT(questions.Texts(), ElementsAre("message_text_5"));
    EXPECT_TRUE(questions.asked.front().textIsId);
    EXPECT_EQ(profile.GetCustomCurveNames(), twenty);

    // Deleting the only curve returns to choice 1 and leaves the headset alone.
    UseProfile({0, 1, 13, 0, 1, 50, 1, 50}, {"Only"});
    profile.SetPresetCurve(1, CurveStartingAt(-5));
    StartConfigured();
    view.panels.customSelection = 0;
    audio.OnDeleteCustomCurve();
    EXPECT_THAT(sim->calls, IsEmpty());
    EXPECT_EQ(Panels().equaliserOption, 1);
    EXPECT_FALSE(Panels().customRowEnabled);
    EXPECT_EQ(Panels().bandSliders, CurveStartingAt(-5));
    EXPECT_EQ(Profiled().eqType, 1);
    EXPECT_THAT(profile.GetCustomCurveNames(), IsEmpty());

    // A band moved under preset 4 turns the panel to custom; the profile waits.
    UseProfile({0, 1, 4, 0, 1, 50, 1, 50}, {"Mine"});
    StartConfigured();
    view.panels.customSelection = 0;
    view.panels.nameEdit = "typed";
    view.panels.bandSliders[6] = -9;
    audio.OnBandSlider(6);
    EXPECT_THAT(DescribeWrites(*sim), ElementsAre("write play EQ_Slider7 [] -9"));
    EXPECT_EQ(Panels().equaliserOption, 13);
    EXPECT_EQ(Panels().customSelection, -1);
    EXPECT_EQ(Panels().nameEdit, "");
    EXPECT_TRUE(Panels().customRowEnabled);
    EXPECT_EQ(Profiled().eqType, 4);
    EXPECT_EQ(saves, 0);

    // A failed mute write leaves the option toggled and the profile as it was.
    sim->FailProperty("MuteControl", AudioOperation::Write);
    audio.OnMicSwitch();
    EXPECT_FALSE(Panels().micSwitch);
    EXPECT_EQ(Profiled().micInSelect, 1);
    EXPECT_EQ(saves, 0);
}

TEST_F(HeadsetAudioTest, SavedAndDeletedCurvesKeepEveryOtherNamesCurve) {
    UseProfile({0, 1, 13, 0, 1, 50, 1, 50}, {"A", "B", "C"});
    StartConfigured();
    view.panels.nameEdit = "D";
    view.panels.bandSliders = CurveStartingAt(100);
    audio.OnSaveCustomCurve();
    EXPECT_EQ(Panels().customSelection, 3);
    EXPECT_EQ(Profiled().customEqSelectIndex, 3);
    EXPECT_EQ(profile.GetCustomCurve(3), CurveStartingAt(100));

    // Overwriting the selected curve under an empty name saves it at once.
    view.panels.nameEdit = "";
    view.panels.customSelection = 1;
    view.panels.bandSliders = CurveStartingAt(200);
    audio.OnSaveCustomCurve();
    EXPECT_EQ(profile.GetCustomCurve(1), CurveStartingAt(200));
    EXPECT_EQ(saves, 2);

    view.panels.customSelection = 0;
    audio.OnDeleteCustomCurve();
    EXPECT_THAT(profile.GetCustomCurveNames(), ElementsAre("B", "C", "D"));
    EXPECT_EQ(profile.GetCustomCurve(0), CurveStartingAt(200));
    EXPECT_EQ(profile.GetCustomCurve(1), CurveStartingAt(20));
    EXPECT_EQ(profile.GetCustomCurve(2), CurveStartingAt(100));
    EXPECT_EQ(Panels().bandSliders, CurveStartingAt(200));
    EXPECT_EQ(Panels().customSelection, 0);
    EXPECT_THAT(sim->Writes(), IsEmpty());
}

TEST_F(HeadsetAudioTest, VoiceChangerWritesItsSwitchesAndTheVoiceLessOne) {
    StartConfigured();
    view.panels.voiceChangerSwitch = true;
    audio.OnVoiceChangerSwitch();
    audio.OnVoice(4);
    audio.OnVoice(0);
    audio.OnVoice(5);
    view.panels.voiceChangerSwitch = false;
    audio.OnVoiceChangerSwitch();
    EXPECT_THAT(
        DescribeWrites(*sim),
        ElementsAre("write rec Enable_MAGICVOICE [] 1", "write rec Enable_MICECHO [] 0",
                    "write rec MagicVoice_Selection [] 3", "write rec Enable_MAGICVOICE [] 0"));
    EXPECT_EQ(Profiled().magicType, 4);
    EXPECT_EQ(Profiled().magicEnable, 0);
    EXPECT_FALSE(Panels().voiceLayoutEnabled);
}

}  // namespace
}  // namespace q731
