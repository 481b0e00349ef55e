#pragma once
// What the mouse and the keyboard share on top of the device base: the key
// table read at connect and written back with the current assignments, the
// macro image built from the keys that use macros, and the light stream with
// its back-off. A key table is used only when it was read completely; until
// then nothing that depends on it is sent.

#include <chrono>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "devices/key_positions.h"
#include "devices/usb_device.h"
#include "profiles/macro_store.h"

namespace q731 {

class CKeyTableDevice : public CVexloUSBDevice {
public:
    // WriteMacros results beyond the overflow count (a positive number).
    static constexpr int kMacrosWritten = 0;
    static constexpr int kMacrosFailed = -1;

    CKeyTableDevice(DeviceKindCode kind, std::shared_ptr<IHidBackend> backend,
                    std::span<const AssignmentCode> factoryCodes, int noPosition);

    // The key table as read at the last complete read; empty when there is none.
    bool KeyTableValid() const { return keyTableValid_; }
    std::span<const std::uint8_t> KeyTableBytes() const;
    // Device position of each logical key (NoPosition() where it has none).
    const std::vector<int>& Positions() const { return positions_; }
    int NoPosition() const { return noPosition_; }

    int WriteKeys() override { return WriteKeysFor(0); }
    // The key table with the current assignments, into `bank`. Returns the
    // first failing link code; nothing is sent without a valid key table.
    virtual int WriteKeysFor(int bank);
    // 0 when written, the overflow count when the image does not fit, -1 when
    // the link or the macro list fails, or the link's negative code.
    int WriteMacros() override;
    // Macro list positions the mapped keys use, in the order of the image.
    std::vector<int> ListUsedMacros();
    // Resets stored assignments naming a macro that no longer exists; true
    // when the profile changed (it is then saved).
    bool CheckMacroAssignments();

    // Reloads the definitions and redraws the page.
    virtual void RefreshView();
    // The mode index of a device mode code: the first index with that code, or
    // the code itself when the table has none (an unknown code is kept).
    std::uint8_t ModeIndexOrCode(std::uint8_t code) const;

    // Also restarts (or stops) the receiver's light stream.
    bool CheckLink() override;

    // Failed writes of colours and light frames pause the caller this long.
    void SetFailurePause(Millis pause) { failurePause_ = pause; }

protected:
    // False (nothing sent) while the link is closed or, on the receiver, while
    // the receiver says the device does not answer.
    bool GateLink();
    // EnterConfig, `body`, LeaveConfig (always after a successful EnterConfig);
    // the first failing code. No link query: callers gate first.
    LinkResult Session(const std::function<LinkResult()>& body);

    // One configuration session: information block, transfer size, key table
    // into a temporary and, when `ledMap` is given, the LED map. The kept table
    // (and `ledMap`) change only when every read succeeded.
    LinkResult ReadKeyTables(std::vector<std::uint8_t>* ledMap);
    void InvalidateKeyTable();

    // Macro count of the device folder's macro list; nothing when the list
    // cannot be read (changing keys then could drop assignments).
    std::optional<int> MacroCount();
    DeviceAssignments CurrentAssignments(int macroCount);

    // Streams one light frame with the back-off of the current channel: two
    // sends slower than 500 ms in a row stop the stream until ResumeStream.
    LinkResult StreamFrame(std::span<const std::uint8_t> frame);
    void ResumeStream(bool receiver);
    bool StreamStopped() const;
    void PauseAfterFailure() const;

private:
    struct StreamBackOff {
        bool stopped = false;
        int slowSends = 0;
    };

    std::vector<AssignmentCode> factoryCodes_;
    int noPosition_;
    KeyTableImage keyTable_{};
    int tableKeyCount_ = 0;
    bool keyTableValid_ = false;
    std::vector<int> positions_;
    StreamBackOff wiredStream_;
    StreamBackOff receiverStream_;
    Millis failurePause_{200};
};

}  // namespace q731
