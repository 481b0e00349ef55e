#include "headset/hs6533_device.h"

#include "platform/log.h"

namespace q731 {

namespace {

constexpr char kRenderExitText[] = "headset render thread ended";
// Ticks of 2 ms between frames of a still picture: its reports are resent
// once a second.
constexpr int kStillTicks = 500;
// Frames while another device's colours are shown: the sync thread changes
// them, the render thread only sends.
constexpr int kSyncTicks = 25;
constexpr int kAudioSaveTimer = 1;

}  // namespace

CVexloHS6533Device::CVexloHS6533Device(std::shared_ptr<IHidBackend> backend, Clock& clock)
    : CVexloUSBDevice(Product::Headset, std::move(backend)),
      clock_(clock),
      audio_(MakeAudio(nullptr)),
      renderer_(clock, {[this] { return Plan(); }, [this](SteadyTime now) { RenderFrame(now); }},
                kRenderExitText) {}

std::unique_ptr<HeadsetAudio> CVexloHS6533Device::MakeAudio(IAudioConfLib* library) {
    return std::make_unique<HeadsetAudio>(
        library, profile_, [this] { return SaveAudioChange(); }, nullptr);
}

bool CVexloHS6533Device::SaveAudioChange() {
    UiLoop* loop = Loop();
    if (!loop) return SaveProfile();
    const SteadyTime now = loop->GetClock().Now();
    if (audioSavePending_) return true;
    if (!lastAudioSave_ || now - *lastAudioSave_ >= kAudioSaveInterval) {
        lastAudioSave_ = now;
        return SaveProfile();
    }
    // The document in memory already holds the change; the timer writes it.
    audioSavePending_ = true;
    const auto waited = std::chrono::duration_cast<Millis>(now - *lastAudioSave_);
    loop->SetOneShotTimer(&audioSavePending_, kAudioSaveTimer, kAudioSaveInterval - waited,
                          [this] { FlushAudioSave(); });
    return true;
}

void CVexloHS6533Device::FlushAudioSave() {
    if (!audioSavePending_) return;
    audioSavePending_ = false;
    if (UiLoop* loop = Loop()) {
        loop->KillTimer(&audioSavePending_, kAudioSaveTimer);
        lastAudioSave_ = loop->GetClock().Now();
    }
    SaveProfileOrLog("a change of its sound settings");
}

bool CVexloHS6533Device::LoadProfile() {
    FlushAudioSave();
    return CVexloUSBDevice::LoadProfile();
}

void CVexloHS6533Device::SetAudioLibrary(std::unique_ptr<IAudioConfLib> library) {
    IAudioConfLib* raw = library.get();
    IHeadsetAudioView* view = audio_->BoundView();
    IQuestionAsker* asker = audio_->Asker();
    audio_ = MakeAudio(raw);
    audio_->SetView(view);
    audio_->SetAsker(asker);
    audioLibrary_ = std::move(library);
}

void CVexloHS6533Device::Initialise() {
    CVexloUSBDevice::Initialise();
    audio_->Start();
}

CVexloHS6533Device::~CVexloHS6533Device() {
    CloseDevice();
}

void CVexloHS6533Device::CloseDevice() {
    FlushAudioSave();
    renderer_.Stop();
    CVexloUSBDevice::CloseDevice();
}

LinkResult CVexloHS6533Device::Connect() {
    // Without a readable profile the headset shows the lighting it had.
    (void)LoadProfile();
    // The library finds the headset's sound card again: a replugged headset
    // may come back under another card number.
    audio_->Connect();
    RefreshView();
    renderer_.Start();
    renderer_.Wake();
    return LinkResult::Ok;
}

void CVexloHS6533Device::ApplyProfile() {
    SetZoneSettings(profile_.GetLedList());
    Steps().SetSteps(profile_.GetEffectSteps());
    renderer_.Wake();
    audio_->LoadFromProfile();
}

LinkResult CVexloHS6533Device::WriteSettings() {
    if (!Link().IsOpen()) return LinkResult::Failed;
    renderer_.Wake();
    return LinkResult::Ok;
}

void CVexloHS6533Device::RefreshView() {
    LoadDefinitions();
    audio_->Refresh();
    if (View()) View()->Refresh();
}

RenderPlan CVexloHS6533Device::Plan() {
    // The headset does not animate itself: while the program drives its
    // lighting, frames are needed whether or not the window is shown.
    if (!Link().IsOpen() || !HostLighting()) return {};
    if (Link().SyncFlag()) return {RenderPlan::Kind::Paced, kSyncTicks};
    const LightSetting light = GetLightInfo();
    const RenderPlan plan = PadPlanFor(light.selectItem, light.speed);
    if (plan.kind == RenderPlan::Kind::Paced) return plan;
    return {RenderPlan::Kind::Paced, kStillTicks};
}

void CVexloHS6533Device::RenderFrame(SteadyTime now) {
    if (!Link().SyncFlag()) {
        const LightSetting light = GetLightInfo();
        if (light.selectItem != renderedMode_) {
            effects_.Reset();
            Leds().Fill({});
            renderedMode_ = light.selectItem;
        }
        effects_.Render(light, Leds(), Steps(), now);
    }
    const HeadsetFrame frame = BuildHeadsetFrame(Leds().Snapshot());
    if (lastSent_ && *lastSent_ == frame && now - lastSentAt_ < kResendInterval) return;
    // A frame that did not get through is sent again with the next one.
    if (SendFrame(frame)) {
        lastSent_ = frame;
        lastSentAt_ = now;
        framesSent_.fetch_add(1);
    } else {
        lastSent_.reset();
    }
}

bool CVexloHS6533Device::SendFrame(const HeadsetFrame& frame) {
    bool all = true;
    for (const HeadsetReport& report : frame) {
        const HidIoResult result = Link().WiredConnection().WriteReport(report, kReportTimeoutMs);
        if (!result.Ok()) {
            all = false;
            // The rest would wait as long again; the next frame tries anew.
            break;
        }
    }
    return all;
}

void CVexloHS6533Device::LightTick() {
    const bool open = Link().IsOpen();
    const std::uint32_t inputs =
        (open ? 1u : 0u) | (Link().SyncFlag() ? 2u : 0u) | (HostLighting() ? 4u : 0u);
    if (inputs != lastPlanInputs_) {
        lastPlanInputs_ = inputs;
        renderer_.Wake();
    }
    if (!open || !Attention() || !pictureSink_) return;
    const std::vector<LedColour> picture = Leds().Snapshot();
    pictureSink_(picture);
}

}  // namespace q731
