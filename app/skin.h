#pragma once
// Skins: the main window's background as a colour, a picture the skin window
// offers, or a picture of the user's own. A choice travels as a SkinMessage from
// the skin window through the skin-change observer to every receiver.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "ui/widgets/window.h"

namespace q731 {

inline constexpr const char* kDefaultBackground = "common/background.png";

struct SkinMessage {
    bool isColour = false;
    UiColor colour = 0;   // 0xAARRGGBB, when isColour
    std::string picture;  // a skin-relative name or a full path, when not
};

class CSkinChangedObserver;

// Something that reacts to skin changes. Going away removes it from every
// observer it is registered with.
class CSkinChangedReceiver {
public:
    CSkinChangedReceiver() = default;
    virtual ~CSkinChangedReceiver();
    CSkinChangedReceiver(const CSkinChangedReceiver&) = delete;
    CSkinChangedReceiver& operator=(const CSkinChangedReceiver&) = delete;

    void AddObserver(CSkinChangedObserver& observer);
    void RemoveFromObservers();
    // The base receiver ignores the message.
    virtual int Receive(const SkinMessage& message);
    virtual int Respond(const SkinMessage& message);

private:
    friend class CSkinChangedObserver;
    std::map<CSkinChangedObserver*, int> observers_;
};

// Calls its receivers in the order they were added. A receiver may add or
// remove receivers (itself included) while a message is being delivered: one
// removed is not called any more, one added is called from the next message on.
class CSkinChangedObserver {
public:
    CSkinChangedObserver() = default;
    ~CSkinChangedObserver();
    CSkinChangedObserver(const CSkinChangedObserver&) = delete;
    CSkinChangedObserver& operator=(const CSkinChangedObserver&) = delete;

    // The process's observer; only the main window registers with it.
    static CSkinChangedObserver& Instance();

    void AddReceiver(CSkinChangedReceiver& receiver);
    void RemoveReceiver(CSkinChangedReceiver& receiver);
    void Broadcast(const SkinMessage& message);
    void Notify(const SkinMessage& message);
    std::size_t Count() const { return receivers_.size(); }

private:
    friend class CSkinChangedReceiver;
    void Forget(CSkinChangedReceiver& receiver);
    template <typename Call>
    void Deliver(Call call);

    std::map<int, CSkinChangedReceiver*> receivers_;
    int nextKey_ = 0;
};

// Records the last offered picture chosen in "main.ini", section [SKINIMAGE]
// (FLAGS 1: an offered picture, 0: back to the default; IMAGE: the picture).
// Other sections and keys of the file are kept; the file is replaced atomically.
bool WriteSkinSettings(const std::filesystem::path& file, bool offered, std::string_view picture);

// The skin window: a pop-up under the skin button that closes when it loses
// the focus. It deletes itself once its window is gone, never while one of its
// handlers (or the file dialog one opened) is still running.
class CSkinFrame final : public WindowImplBase {
public:
    // Opens the window under `button` of `mainWindow`; nullptr when it cannot be built.
    static CSkinFrame* Show(WindowImplBase& mainWindow, CControlUI& button,
                            CSkinChangedObserver& observer, std::filesystem::path settingsFile);
    // The open skin window, if any (at most one is open).
    static CSkinFrame* Current();

    std::string GetWindowClassName() const override { return "UISkinFrame"; }
    std::string GetSkinFile() override { return "skin.xml"; }
    void Notify(TNotifyUI& msg) override;
    LRESULT HandleCustomMessage(unsigned msg, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void OnFinalMessage() override;

private:
    CSkinFrame(UiLoop& loop, CSkinChangedObserver& observer, std::filesystem::path settingsFile);
    ~CSkinFrame() override;
    void OnSkinClick(CControlUI& sender);
    void Broadcast(SkinMessage message);

    CSkinChangedObserver& observer_;
    std::filesystem::path settingsFile_;
    int busy_ = 0;              // handlers running; the window is not closed under them
    bool closeWanted_ = false;  // the focus went while busy: close once they return
};

}  // namespace q731
